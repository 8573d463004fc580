// The login form shown to a requester without a valid login: the role and
// the password are posted back to "/login.html".
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

int PageBuilder::write_login(int current_controller) {
    begin_page(web_text(136), "Login", nullptr, nullptr, 0, current_controller);
    end_head();
    StringBuilder& out = text_body_;
    out.append("<form method=\"post\" action=\"/login.html\">\n<table border=\"0\">\n");
    out.append("<tr><td colspan=\"2\" class=\"tabletitle12\">").append(web_text(283)).append("</td></tr>\n");
    out.append("<tr><td width=\"125\" class=\"tabledata\"><b>&nbsp;&nbsp;").append(web_text(136));
    out.append("</b></td><td width=\"300\" class=\"tabledata\"><select name=\"whopwd\">");
    out.append("<option name=\"pwuser\" value=\"u\">").append(web_text(275)).append("</option>");
    out.append("<option name=\"pwadmin\" value=\"a\">").append(web_text(276)).append("</option>");
    out.append("</select></td></tr>\n");
    out.append("<tr><td width=\"125\" class=\"tabledata\"><b>&nbsp;&nbsp;").append(web_text(261));
    out.append("</b></td><td width=\"300\" class=\"tabledata\"><font face=\"\">");
    out.append("<input type=\"password\" name=\"thepwd\" size=\"32\"></font></td></tr>\n");
    out.append("<tr><td width=\"125\" class=\"tabledata\"></td><td width=\"300\" class=\"tabledata\">");
    out.append("<input type=\"submit\" value=\"");
    append_html(out, web_text(136));
    out.append("\"></td></tr>\n</table>\n</form>\n");
    end_page(0);
    return 0;
}
