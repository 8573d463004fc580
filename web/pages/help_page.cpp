#include "web/pages/help_page.h"

#include "daemon/config_store.h"
#include "daemon/string_builder.h"
#include "web/pages/page_builder.h"

namespace {

// The first page of the on-line help, opened in a window of its own.
const char* const kOnlineHelp = "/help/Pyv_2_OLH-1-01.html";

// The notice the OpenSSL licence asks of products built with the toolkit.
const char* const kOpenSslNotice =
    "<font style=\"font-size: 8pt;\">\n"
    "This product includes software developed by the OpenSSL Project for use in the OpenSSL "
    "Toolkit (<a href=\"https://www.openssl.org/\" target=\"top\">https://www.openssl.org/</a>)"
    "<br>\n"
    "Copyright \xC2\xA9 1998-2025 The OpenSSL Project Authors. All rights reserved.<br>\n"
    "Copyright \xC2\xA9 1995-1998 Eric A. Young, Tim J. Hudson. All rights reserved.<br>\n"
    "</font>\n";

void link_row(PageBuilder& page, int label, const char* url, const char* target) {
    StringBuilder& out = page.text_body();
    out.append("<tr>\n<td width=\"225\" class=\"tabledata\"><b>&nbsp;&nbsp;");
    out.append(page.web_text(label)).append("</b></td>\n<td width=\"175\" class=\"tabledata\">");
    out.append("<a href=\"").append(url).append("\" target=\"").append(target).append("\">");
    out.append(page.web_text(281)).append("</a></td>\n</tr>\n");
}

}  // namespace

int write_page5(PageBuilder& page, int c) {
    page.begin_page(page.web_text(152), "Help", nullptr, nullptr, 0, c);
    page.end_head();
    StringBuilder& out = page.text_body();
    out.append("<table border=\"0\">\n<tr>\n<td colspan=\"2\" class=\"tabletitle12\">");
    out.append(page.web_text(278)).append("</td>\n</tr>\n");
    link_row(page, 279, kOnlineHelp, "_online_help");
    if (page.config()->get_oem() == 0) link_row(page, 280, kMakerWebSite, "_blank");
    out.append("</table>\n<br>\n").append(kOpenSslNotice);
    page.end_page(0);
    return 0;
}
