// The JavaScript functions of the Controller Settings page. Most turn a
// click into a request of "/page2_0.html" (or of a firmware URL) with one
// query key and the frame set's current controller, asking first where a
// setting is risky; the others check a value or show and hide the firmware
// check's pop-up. Catalogue texts go into the dialogs in the configured
// language, with their own "\n" line breaks kept.
#pragma once

class PageBuilder;
struct ControllerRecord;

// The page's head functions in the page's order: goto_unit,
// change_rebuild_rate, change_verify_rate, set_auto_verify, set_ecc,
// set_queuing, validate_name, changeunitnames, set_auto_rebuild,
// set_multi_lun, change_c_sata_link_speed, change_c_sas_link_speed,
// goto_physummary, change_c_BRAP, change_c_BVAP, submit_upgrade,
// cancel_upgrade, submit_fwcheck, show_fwcheckpopup, set_pervault,
// set_qm_recovery, validate_carvesize and changecarvesize.
void write_settings_scripts(PageBuilder& page);

// set_cache(unit, type, enable, checkbox) for this controller: enabling a
// write cache asks first only on a second-series controller without a
// battery backup unit (its battery record attached and saying so).
void write_set_cache(PageBuilder& page, const ControllerRecord& controller);
