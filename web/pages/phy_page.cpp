// The phy information page: a controller's phys with their SAS addresses,
// link speeds, the drop-down that sets each one's link-speed limit, and
// what is attached to them.
#include <cstdio>

#include "web/pages/info_pages.h"
#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/record_access.h"
#include "web/pages/status_texts.h"

namespace {

// A link-speed code, its bit in the supported speeds, and its name.
struct Speed {
    int code;
    const char* name;
};

const Speed kSpeeds[] = {{1, "1.5 Gbps"}, {2, "3.0 Gbps"}, {4, "6.0 Gbps"}};

void address_text(const uint8_t (&address)[8], char (&text)[17]) {
    bool zero = true;
    for (uint8_t b : address)
        if (b != 0) zero = false;
    if (zero) {
        snprintf(text, sizeof text, "--");
        return;
    }
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) {
        text[2 * i] = kHex[address[i] >> 4];
        text[2 * i + 1] = kHex[address[i] & 0xF];
    }
    text[16] = '\0';
}

const char* link_text(int speed) {
    switch (speed) {
        case 0:
            return "No Link";
        case 1:
            return " 1.5 Gbps";
        case 2:
            return " 3.0 Gbps";
        case 4:
            return " 6.0 Gbps";
        default:
            return " --";
    }
}

const char* device_text(int type) {
    switch (type) {
        case 1:
            return "SATA";
        case 2:
            return "SAS";
        case 3:
        case 4:
            return "Enclosure";
        default:
            return "--";
    }
}

void option(StringBuilder& out, int value, const char* name, int limit) {
    out.append("<option value=\"").append_int(value).append("\"");
    if (value == limit) out.append(" selected");
    out.append(">").append(name).append("</option>");
}

void phy_row(PageBuilder& page, const ControllerRecord& r, const PhyRecord& phy, bool highlighted) {
    StringBuilder& out = page.text_body();
    const char* highlight = highlighted ? kHighlight : "";
    char address[17];
    address_text(phy.sas_address, address);
    out.append("<tr>");
    open_cell(out, 70, "tabledatacenter", highlight);
    out.append_int(phy.phy).append("</td>");
    open_cell(out, 175, "tabledata", highlight);
    out.append(address).append("</td>");
    open_cell(out, 75, "tabledata", highlight);
    out.append(link_text(phy.link_speed)).append("</td>");
    open_cell(out, 100, "tabledata", highlight);
    out.append("<select name=\"plinkspeed\" onChange=\"set_phy_linkspeed(").append_int(phy.phy);
    out.append(", this.options[this.selectedIndex].value);\">");
    option(out, 0, "Auto", phy.link_limit);
    for (const Speed& speed : kSpeeds)
        if ((phy.link_speed_supported & speed.code) != 0)
            option(out, speed.code, speed.name, phy.link_limit);
    out.append("</select></td>");
    open_cell(out, 100, "tabledata", highlight);
    out.append(device_text(phy.device_type)).append("</td>");
    open_cell(out, 70, "tabledata", highlight);
    if ((phy.device_type == 1 || phy.device_type == 2) && phy.drive_port != 255) {
        out.append("<a href=\"javascript:goto_drivesummary(").append_int(phy.drive_port);
        out.append(");\" style=\"").append(kLinkStyle).append("\">").append(port_label(page, r));
        out.append(" ").append_int(phy.drive_port).append("</a>");
    } else {
        out.append("--");
    }
    out.append("</td></tr>\n");
}

void write_set_phy_linkspeed(StringBuilder& body) {
    body.append(R"JS(var url;
function set_phy_linkspeed(phy, value)
{
  url = "/page1_0_1.html?SetPhyLinkspeed=" + value + "&y=" + phy + "&c=" + parent.cur_controller;
  document.location.replace(url);
}
)JS");
}

struct Column {
    int label;
    int second_label;  // 0: none
    int width;
    const char* css_class;
};

const Column kColumns[] = {
    {504, 0, 70, "tableheadercenter"}, {468, 505, 175, "tableheader"},
    {506, 0, 100, "tableheader"},      {507, 0, 100, "tableheader"},
    {14, 0, 100, "tableheader"},       {156, 0, 70, "tableheadercenter"},
};

}  // namespace

int write_phy_list(PageBuilder& page, const ControllerRecord& r, int y) {
    StringBuilder& out = page.text_body();
    open_list_table(page, 6, "Controller Phy Summary", r.controller_index);
    out.append("<tr>");
    for (const Column& column : kColumns) {
        char label[160];
        snprintf(label, sizeof label, "%s", page.web_text(column.label));
        if (column.second_label != 0)
            snprintf(label, sizeof label, "%s %s", page.web_text(column.label),
                     page.web_text(column.second_label));
        append_header_cell(out, column.width, column.css_class, label);
    }
    out.append("</tr>\n");
    const int phys = list_count(r.phys);
    if (phys < 1) append_notice_row(out, 6, page.web_text(508));
    for (int i = 0; i < phys; ++i) {
        const PhyRecord* phy = phy_at(r, i);
        if (phy == nullptr) break;
        phy_row(page, r, *phy, i == y);
    }
    out.append("</table>\n");
    return 0;
}

int write_page1_0_1(PageBuilder& page, int c, int y, const ControllerIdList* list,
                    const ControllerRecord* records) {
    return write_controller_page(
        page, page.web_text(513), "Phy Information", list, records, c, true,
        [&](StringBuilder& body) {
            page.script().write_goto_drivesummary(body);
            page.script().write_goto_enclosure(body);
            write_set_phy_linkspeed(body);
        },
        [&](const ControllerRecord& r) { write_phy_list(page, r, y); });
}
