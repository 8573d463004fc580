// Filling of phy records from the library.
#include "api/ctl.h"
#include "daemon/daemon_context.h"
#include "daemon/fill_reads.h"

int DaemonContext::fill_phys(const IdList& phys, PhyRecord* records, int index) {
    const uint32_t count = records != nullptr ? fill_reads::listed(phys) : 0;
    if (index >= 0) {
        if (static_cast<uint32_t>(index) < count) fill_phy(phys.ids[index], &records[index]);
        return 0;
    }
    for (uint32_t i = 0; i < count; i++) fill_phy(phys.ids[i], &records[i]);
    return 0;
}

int DaemonContext::fill_phy(ObjectId phy, PhyRecord* r) {
    uint8_t controller;
    ctl_parse_phy_id(phy, &controller, &r->phy);
    ctl_get_phy_sas_address(phy, r->sas_address);
    ctl_get_phy_link_speed_supported(phy, &r->link_speed_supported);
    ctl_get_phy_link_speed(phy, &r->link_speed);
    ctl_get_phy_link_negotiation_limit(phy, &r->link_limit);
    ctl_get_phy_device_type(phy, &r->device_type);
    if (r->device_type == 0) return 0;
    uint8_t port;
    if ((r->device_type == 1 || r->device_type == 2) && ctl_get_phy_drive(phy, &r->drive_id) == 0 &&
        ctl_parse_port_id(r->drive_id, &controller, &port) == 0)
        r->drive_port = port;
    else
        r->drive_port = 255;
    return 0;
}
