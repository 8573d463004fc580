// The Scheduling page: the task selector and the table of the chosen tab.
#include "web/pages/schedule_page.h"

#include "web/pages/page_builder.h"
#include "web/pages/page_content.h"
#include "web/pages/schedule_slots.h"

namespace {

constexpr int kGerman = 1;
constexpr int kDays = 7;
constexpr int kHours = 24;
constexpr int kLongestDuration = 24;
constexpr int kFirstDayName = 310;  // 19:310 Sunday to 19:316 Saturday

// Catalogue texts (19) of the page.
enum : int {
    kScheduling = 145,
    kRemoveChecked = 209,
    kAddNewSlot = 210,
    kDay = 205,
    kTime = 206,
    kDuration = 207,
    kHoursText = 208,
    kTasks = 211,
    kAllSlots = 212,
    kIgnoredUntilSet = 213,
    kFollow = 201,
    kIgnore = 202,
    kSelectTask = 194,
    kBasic = 515,
    kAdvanced = 514,
    kPreferredStart = 516,
    kUpgradeUdma = 366,
    kCheckSmart = 367,
    kNotSupported = 23,  // 12:23
};

// What the rebuild/migrate and the plain verify tables differ in.
struct TaskTable {
    int task;
    int title;
    int state_label;
    const char* form;
};
const TaskTable kRebuildTable = {kRebuildTask, 198, 203, "rebuildsched"};
const TaskTable kVerifyTable = {kVerifyTask, 199, 204, "verifysched"};
const int kSelftestTitle = 200;
const int kTabNames[] = {195, 196, 197};

// A start's hour as the configured language writes times: German 14:00,
// the others 2:00pm.
void append_hour(PageBuilder& page, StringBuilder& out, int hour) {
    if (page.language() == kGerman) {
        out.append_int(hour).append(":00");
        return;
    }
    out.append_int(hour % 12 == 0 ? 12 : hour % 12).append(":00").append(hour < 12 ? "am" : "pm");
}

void append_day(PageBuilder& page, StringBuilder& out, int day) {
    if (day >= 0 && day < kDays) out.append(page.web_text(kFirstDayName + day));
}

// Opens a table with its title row over four columns.
void open_table(PageBuilder& page, int title, const ControllerRecord& r) {
    open_list_table(page, 4, page.web_text(title), r.controller_index);
}

// The column headings; with_duration false: the self-test table's, whose
// last column names the tasks.
void header_row(PageBuilder& page, bool with_duration) {
    StringBuilder& out = page.text_body();
    StringBuilder last;
    last.append(page.web_text(with_duration ? kDuration : kTasks)).append(" (");
    last.append(page.web_text(with_duration ? kHoursText : kAllSlots)).append(")");
    out.append("<tr>");
    append_header_cell(out, 35, "tableheader", "");
    append_header_cell(out, 100, "tableheader", page.web_text(kDay));
    append_header_cell(out, 100, "tableheader", page.web_text(kTime));
    append_header_cell(out, 300, "tableheader", last.c_str());
    out.append("</tr>\n");
}

// A drop-down of options 0 to count - 1 (first to first + count - 1 when
// the values start elsewhere), the selected value marked; the texts by kind.
enum class Options { Days, Hours, Numbers };

void drop_down(PageBuilder& page, const char* name, const char* attributes, Options kind,
               int selected) {
    StringBuilder& out = page.text_body();
    out.append("<select name=\"").append(name).append("\"").append(attributes).append(">");
    const int first = kind == Options::Numbers ? 1 : 0;
    const int count = kind == Options::Days    ? kDays
                      : kind == Options::Hours ? kHours
                                               : kLongestDuration;
    for (int v = first; v < first + count; ++v) {
        out.append("<option value=\"").append_int(v).append("\"");
        if (v == selected) out.append(" selected");
        out.append(">");
        if (kind == Options::Days)
            append_day(page, out, v);
        else if (kind == Options::Hours)
            append_hour(page, out, v);
        else
            out.append_int(v);
        out.append("</option>");
    }
    out.append("</select>");
}

// One slot's row: its number (with a check box when the task uses it), day
// and time, and the duration unless the table has none. A check box may be
// written disabled.
void slot_row(PageBuilder& page, const TaskScheduleSlot& slot, int number, int task,
              bool checkbox_disabled) {
    StringBuilder& out = page.text_body();
    const uint16_t start = task_start(slot, task);
    const bool used = start_in_use(start);
    out.append("<tr><td class=\"tabledata\">");
    if (used) {
        out.append("<input type=\"checkbox\" name=\"sched\" value=\"")
            .append_int(number)
            .append("\"");
        if (checkbox_disabled) out.append(" disabled");
        out.append(">");
    }
    out.append("<b>").append_int(number + 1).append(".</b></td><td class=\"tabledata\">");
    if (used) {
        append_day(page, out, start / kMinutesPerDay);
        out.append("</td><td class=\"tabledata\">");
        append_hour(page, out, start % kMinutesPerDay / kMinutesPerHour);
    } else {
        out.append("--</td><td class=\"tabledata\">--");
    }
    out.append("</td>");
    if (task != kSelftestTask) {
        out.append("<td class=\"tabledata\">");
        if (used)
            out.append_int(task_duration(slot, task) / kMinutesPerHour);
        else
            out.append("--");
        out.append("</td>");
    }
}

void slot_rows(PageBuilder& page, const ControllerRecord& r, int task, bool checkboxes_disabled) {
    const TaskSchedule schedule = schedule_of(r);
    for (int i = 0; i < kScheduleSlots; ++i) {
        slot_row(page, schedule.slots[i], i, task, checkboxes_disabled);
        page.text_body().append("</tr>\n");
    }
}

void button(PageBuilder& page, int label, const char* call, int task) {
    page.text_body().append("<input type=\"button\" value=\"").append(page.web_text(label));
    page.text_body().append("\" onClick=\"").append(call).append_int(task).append(")\">");
}

// The drop-down's label: a non-breaking space (and a blank where given)
// before it.
void labelled(PageBuilder& page, int label, const char* gap) {
    page.text_body().append("&nbsp;").append(gap).append(page.web_text(label)).append(" ");
}

// The last row: remove (unless without_remove) and add buttons with the
// new slot's drop-downs.
void add_row(PageBuilder& page, int task, bool with_remove) {
    StringBuilder& out = page.text_body();
    out.append("<tr><td colspan=\"4\" class=\"tabledata\"><hr>");
    if (with_remove) button(page, kRemoveChecked, "delete_sched(", task);
    out.append("<br>");
    button(page, kAddNewSlot, "add_sched(", task);
    const char* gap = task == kSelftestTask ? " " : "";
    labelled(page, kDay, gap);
    drop_down(page, "day", "", Options::Days, -1);
    labelled(page, kTime, gap);
    drop_down(page, "hour", "", Options::Hours, -1);
    if (task != kSelftestTask) {
        labelled(page, kDuration, gap);
        drop_down(page, "duration", "", Options::Numbers, -1);
    }
    out.append("</td></tr>\n");
}

// A radio button labelled with a catalogue text: checked, or calling
// enable_sched(task, value) when clicked.
void radio(PageBuilder& page, const char* name, bool checked, int task, int value, int label,
           bool bold) {
    StringBuilder& out = page.text_body();
    out.append("<input type=\"radio\" name=\"").append(name).append("\"");
    if (checked)
        out.append(" checked");
    else
        out.append(" onClick=\"enable_sched(")
            .append_int(task)
            .append(", ")
            .append_int(value)
            .append(")\"");
    out.append(">");
    if (bold) out.append("<b>");
    out.append(page.web_text(label));
    if (bold) out.append("</b>");
}

// A schedule switch reads 1 when the schedule is followed; 0 and 2 mean
// ignored.
bool followed(uint8_t state) { return state != 0 && state != 2; }

int write_task_table(PageBuilder& page, const ControllerRecord& r, const TaskTable& table,
                     uint8_t state) {
    StringBuilder& out = page.text_body();
    open_table(page, table.title, r);
    out.append("<tr><td colspan=\"2\" class=\"tabledata\"><b>")
        .append(page.web_text(table.state_label));
    out.append("</b></td><td colspan=\"2\" class=\"tabledata\">");
    if (slots_in_use(r, table.task) == 0) {
        out.append("<font style=\"color: #FF0000;\">").append(page.web_text(kIgnoredUntilSet));
        out.append("</font>");
    } else {
        const char* name = table.task == kRebuildTask ? "rebuildstate" : "verifystate";
        radio(page, name, followed(state), table.task, 1, kFollow, false);
        out.append(" ");
        radio(page, name, !followed(state), table.task, 0, kIgnore, false);
    }
    out.append("</td></tr>\n");
    header_row(page, true);
    out.append("<form name=\"").append(table.form).append("\">\n");
    slot_rows(page, r, table.task, false);
    add_row(page, table.task, true);
    out.append("</form>\n</table>\n");
    return 0;
}

void task_selector(PageBuilder& page, int tab) {
    StringBuilder& out = page.text_body();
    out.append("<form name=\"selform\"><b>").append(page.web_text(kSelectTask)).append(":</b> ");
    out.append("<select name=\"seltask\" onChange=\"select_which_task()\">");
    for (int v = 0; v < 3; ++v) {
        out.append("<option value=\"").append_int(v).append("\"");
        if (v == tab) out.append(" selected");
        out.append(">").append(page.web_text(kTabNames[v])).append("</option>");
    }
    out.append("</select></form>\n");
}

}  // namespace

int write_rebuild_schedule(PageBuilder& page, const ControllerRecord& r) {
    return write_task_table(page, r, kRebuildTable, r.rebuild_schedule_enabled);
}

int write_verify_schedule(PageBuilder& page, const ControllerRecord& r) {
    return write_task_table(page, r, kVerifyTable, r.verify_schedule_enabled);
}

int write_verify_schedule_modes(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    const bool advanced = followed(r.verify_schedule_enabled);
    const int used = slots_in_use(r, kVerifyTask);
    open_table(page, kVerifyTable.title, r);
    out.append("<tr><td colspan=\"4\" class=\"tabledata\"><b>")
        .append(page.web_text(kVerifyTable.state_label));
    out.append("</b></td><td colspan=\"4\" class=\"tabledata\"></td></tr>\n");

    out.append("<tr><td colspan=\"4\" class=\"tabledata\">");
    radio(page, "verifymode", !advanced, kVerifyTask, 0, kBasic, true);
    out.append("</td></tr>\n");

    out.append(
        "<tr><td width=\"20\" class=\"tabledata\"></td><td width=\"200\" class=\"tabledata\">");
    out.append(page.web_text(kPreferredStart))
        .append("</td><td colspan=\"2\" class=\"tabledata\">");
    out.append("<form name=\"basicverifysched\">");
    const char* disabled = advanced ? " disabled" : "";
    StringBuilder attributes;
    attributes.append(" onChange=\"set_basicverify_day_time(0);\"").append(disabled);
    drop_down(page, "bverify_day", attributes.c_str(), Options::Days,
              r.basic_verify_time / kMinutesPerDay);
    out.append(" ");
    attributes.clear();
    attributes.append(" onChange=\"set_basicverify_day_time(1);\"").append(disabled);
    drop_down(page, "bverify_hour", attributes.c_str(), Options::Hours,
              r.basic_verify_time % kMinutesPerDay / kMinutesPerHour);
    out.append("</form></td></tr>\n");

    out.append("<tr><td colspan=\"4\" class=\"tabledata\">");
    radio(page, "verifymode", advanced, kVerifyTask, 1, kAdvanced, true);
    out.append("</td></tr>\n");

    header_row(page, true);
    out.append("<form name=\"").append(kVerifyTable.form).append("\">\n");
    slot_rows(page, r, kVerifyTask, !advanced || used == 1);
    if (advanced) add_row(page, kVerifyTask, used > 1);
    out.append("</form>\n</table>\n");
    return 0;
}

int write_selftest_schedule(PageBuilder& page, const ControllerRecord& r) {
    StringBuilder& out = page.text_body();
    open_table(page, kSelftestTitle, r);
    header_row(page, false);
    out.append("<form name=\"selftestsched\">\n");
    const TaskSchedule schedule = schedule_of(r);
    for (int i = 0; i < kScheduleSlots; ++i) {
        slot_row(page, schedule.slots[i], i, kSelftestTask, false);
        if (i == 0) {
            out.append("<td width=\"300\" rowspan=\"7\" valign=\"top\" class=\"tabledata\">");
            if (r.family <= 4) {
                out.append(
                    "<input type=\"checkbox\" name=\"SelfTestUDMA\" value=\"1\" "
                    "onClick=\"change_sched_tasks()\"");
                if ((r.selftest_flags & 1) != 0) out.append(" checked");
                out.append(">").append(page.web_text(kUpgradeUdma)).append("<br>");
            }
            out.append(
                "<input type=\"checkbox\" name=\"SelfTestCheckSmart\" value=\"2\" "
                "onClick=\"change_sched_tasks()\"");
            if ((r.selftest_flags & 2) != 0) out.append(" checked");
            out.append(">").append(page.web_text(kCheckSmart)).append("</td>");
        }
        out.append("</tr>\n");
    }
    add_row(page, kSelftestTask, true);
    out.append("</form>\n</table>\n");
    return 0;
}

int write_page2_1(PageBuilder& page, int c, const ControllerIdList* list,
                  const ControllerRecord* records, int tab) {
    return write_controller_page(
        page, page.web_text(kScheduling), "Scheduling", list, records, c, true,
        [&](StringBuilder&) {
            write_select_which_task(page);
            write_enable_sched(page);
            write_delete_sched(page);
            write_add_sched(page);
            write_change_sched_tasks(page);
            write_set_basicverify_day_time(page);
        },
        [&](const ControllerRecord& r) {
            if (r.family <= 3) {
                page.text_body().append(kNoticeStart).append(page.daemon_text(kNotSupported));
                page.text_body().append("</font>\n");
                return;
            }
            task_selector(page, tab);
            if (tab == kVerifyTask && r.firmware_level == 1)
                write_verify_schedule_modes(page, r);
            else if (tab == kVerifyTask)
                write_verify_schedule(page, r);
            else if (tab == kSelftestTask)
                write_selftest_schedule(page, r);
            else
                write_rebuild_schedule(page, r);
        });
}
