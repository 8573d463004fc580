// The pieces every page is assembled from (head, style block, footer, the
// content page skeleton) and the small pages that consist of little else:
// the blank page, the redirect page, the port-change page and the refusal of
// a remote client.
#include <cstring>

#include "api/ctl.h"
#include "daemon/config_store.h"
#include "daemon/date_formatter.h"
#include "daemon/http_codes.h"
#include "web/pages/escape.h"
#include "web/pages/page_builder.h"

namespace {

// charset and content-language of each interface language.
struct PageLanguage {
    const char* charset;
    const char* code;
};

const PageLanguage kPageLanguages[] = {
    {"utf-8", "en"}, {"utf-8", "de"}, {"utf-8", "ja"}, {"utf-8", "zh"},
    {"utf-8", "zh"}, {"utf-8", "fr"}, {"utf-8", "es"}, {"utf-8", "it"},
};

// One rule set of the shared style block; null properties are left out.
struct StyleRule {
    const char* selector;
    const char* background_color;
    const char* color;
    const char* font_size;
    const char* font_weight;
    const char* text_align;
};

const StyleRule kStyleRules[] = {
    {"td.tabletitle12", "#004080", "#FFFFFF", "12pt", "bold", nullptr},
    {"td.tabletitle14", "#004080", "#FFFFFF", "14pt", "bold", nullptr},
    {"td.tableheader10", "#E0A000", "#FFFFFF", "10pt", "bold", nullptr},
    {"td.tableheader", "#E0A000", "#FFFFFF", "12pt", "bold", nullptr},
    {"td.tableheadercenter", "#E0A000", "#FFFFFF", "12pt", "bold", "center"},
    {"td.tabledata", "#FFFFEA", nullptr, "10pt", nullptr, nullptr},
    {"td.tabledatacenter", "#FFFFEA", nullptr, "10pt", nullptr, "center"},
};

void put_property(StringBuilder& out, const char* name, const char* value) {
    if (value != nullptr) out.append("  ").append(name).append(": ").append(value).append(";\n");
}

// The style of the notices on the port-change and refusal pages.
const char* const kNoticeFontStart =
    "<font style=\"color: #E0A000;font-size: 12pt;font-family: sans-serif;font-weight: bold;\">";

const char* const kCopyright = "Copyright &copy; Tavix. All rights reserved.";

}  // namespace

void PageBuilder::write_head_start(bool with_language) {
    write_head_start(with_language, with_language);
}

void PageBuilder::write_head_start(bool with_charset, bool with_language) {
    text_body_.append("<html>\n<head>\n<meta http-equiv=\"Pragma\" content=\"no-cache\">\n");
    const PageLanguage& page_language = kPageLanguages[language()];
    if (with_charset)
        text_body_.append("<meta http-equiv=\"content-type\" content=\"text/html; charset=")
            .append(page_language.charset)
            .append("\">\n");
    if (with_language)
        text_body_.append("<meta http-equiv=\"content-language\" content=\"")
            .append(page_language.code)
            .append("\">\n");
}

int PageBuilder::write_style() {
    StringBuilder& out = text_body_;
    out.append("<style type=\"text/css\">\n");
    out.append("body\n{\n");
    put_property(out, "margin-top", "1px");
    put_property(out, "margin-left", "5px");
    put_property(out, "font-family", "sans-serif");
    put_property(out, "font-size", "12pt");
    out.append("}\n");
    for (const StyleRule& rule : kStyleRules) {
        out.append(rule.selector).append("\n{\n");
        put_property(out, "background-color", rule.background_color);
        put_property(out, "color", rule.color);
        put_property(out, "font-family", "sans-serif");
        put_property(out, "font-size", rule.font_size);
        put_property(out, "font-weight", rule.font_weight);
        put_property(out, "text-align", rule.text_align);
        out.append("}\n");
    }
    out.append("</style>\n");
    return 0;
}

int PageBuilder::write_footer(int show_refresh) {
    StringBuilder& out = text_body_;
    out.append("<hr width=\"100%\" align=\"left\">\n<font style=\"font-size: 10pt;\">\n");
    out.append(web_text(4)).append(date_formatter_->format_now()).append("<br>\n");
    // The refresh line tells of a refresh the page really makes.
    if (show_refresh && refresh_timeout() != 0) {
        out.append(web_text(5))
            .append_int(config_->get_refresh())
            .append(web_text(6))
            .append("<br>\n");
    }
    out.append("<font style=\"font-style: oblique;\">Pyv2 ").append(web_text(7)).append(kVersion);
    out.append("</font><br>\n");
    out.append("<font style=\"font-style: oblique;\">API ").append(web_text(7));
    append_html(out, ctl_get_api_version());
    out.append("</font><br>\n</font>\n");
    out.append("<font style=\"font-size: 8pt;\">").append(kCopyright).append("<br></font>\n");
    return 0;
}

void PageBuilder::begin_page(const char* title, const char* page_name, const ControllerIdList* list,
                             const ControllerRecord* records, int timeout_ms,
                             int current_controller, bool with_language) {
    content_type_ = kContentHtml;
    write_head_start(true, with_language);
    write_style();
    text_body_.append("<script>\n");
    script_writer_->write_init(text_body_, title, page_name, list, records, timeout_ms,
                               current_controller, static_cast<int>(access_level_));
}

void PageBuilder::end_head() {
    text_body_.append("</script>\n</head>\n<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n");
}

void PageBuilder::end_page(int show_refresh) {
    write_footer(show_refresh);
    text_body_.append("</body>\n</html>\n");
}

int PageBuilder::write_blank() {
    content_type_ = kContentHtml;
    text_body_.append("<html>\n<body bgcolor=\"#FFFFFF\">\n</body>\n</html>\n");
    return 0;
}

int PageBuilder::write_redirect(const char* target, const char* message, int code) {
    content_type_ = kContentHtml;
    write_head_start(false);
    write_style();
    text_body_.append("<script>\n");
    script_writer_->write_redirect_page(text_body_, target, message, code);
    text_body_.append("</script>\n</head>\n");
    text_body_.append("<body bgcolor=\"#FFFFFF\" onLoad=\"redirect_page()\">\n</body>\n</html>\n");
    return 0;
}

int PageBuilder::write_go_home(const char* url) {
    content_type_ = kContentHtml;
    write_head_start(true);
    text_body_.append("<script>\nvar url;\nfunction go_home()\n{\n  url = \"");
    append_js_string(text_body_, url);
    text_body_.append("\";\n  parent.lastmessage = \"\";\n  parent.menu.hide_message();\n");
    text_body_.append("  setTimeout(function () { top.location.replace(url); }, 8000);\n}\n");
    text_body_.append("</script>\n</head>\n<body bgcolor=\"#FFFFFF\" onLoad=\"go_home()\">\n");
    text_body_.append(kNoticeFontStart).append(web_text(8)).append("</font>\n</body>\n</html>\n");
    return kHandlerRebuildListener;
}

int PageBuilder::write_no_remote_access(int current_controller) {
    content_type_ = kContentHtml;
    write_head_start(true);
    // Runs while the page loads: the refused client is logged out in the
    // frame set's view.
    text_body_.append("<script>\nif (parent.menu != null && parent.who != 1) {\n");
    text_body_.append("  parent.who = 1;\n  parent.menu.update_login();\n}\n");
    script_writer_->write_init(text_body_, web_text(137), "No Remote Access", nullptr, nullptr, 0,
                               current_controller, static_cast<int>(access_level_));
    text_body_.append("</script>\n</head>\n<body bgcolor=\"#FFFFFF\" onLoad=\"init(1);\">\n");
    text_body_.append(kNoticeFontStart)
        .append(daemon_text(22))
        .append("</font>\n</body>\n</html>\n");
    return 0;
}
