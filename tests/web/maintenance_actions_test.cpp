// Maintenance actions whose outcome hangs on what the controller holds, run
// through the handler on simulated controllers: a verify that initialises, a
// rescan that brings units and drives back, a creation of one unit per drive
// that stops part way, migrations without an interface check and with the
// drives per subunit asked for.
#include "web/actions/maintenance_actions.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "api/ctl.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "tests/api/library_machine.h"
#include "tests/web/page_test_support.h"
#include "web/actions/handler_frame.h"

namespace {

// Position 0 (index 0, family 6): an uninitialised RAID 5 on ports 0 to 2
// and RAID 6 on 3 to 7; the configurations of a RAID 1 (8, 9) and of a
// spare (10) on their drives only; a drive pulled from port 11; a SAS
// drive on 12, free; a RAID 5 on 13 to 15. Position 1 (index 1, family 6): 31 single disks and two
// free drives (31, 32), so that only one more unit fits. Position 2 (index
// 2, family 8): two RAID 5 units of three drives (0 to 2, 3 to 5) and 18
// free drives.
std::string machine() {
    std::string s =
        "kernel release=6.1.0-sim\nclock mode=virtual\n"
        "driver name=dq-Mxxx pairing=sysfs\ndriver name=dq-sas pairing=sysfs\n"
        "controller index=0 driver=dq-Mxxx arch=6 model=\"QX-6\" ports=16\n";
    for (int p : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13, 14, 15})
        s += "  drive port=" + std::to_string(p) + "\n";
    s += "  drive port=11 status=2\n  drive port=12 interface=sas\n"
         "  unit number=0 type=raid5 drives=0,1,2 initialized=0\n"
         "  unit number=1 type=raid6 drives=3,4,5,6,7 initialized=0\n"
         "  unit number=2 type=raid1 drives=8,9 foreign=1\n"
         "  unit number=3 type=spare drives=10 foreign=1\n"
         "  unit number=4 type=raid5 drives=13,14,15\n"
         "controller index=1 driver=dq-Mxxx arch=6 model=\"QX-6\" ports=33 "
         "max-active-drives=64\n";
    for (int p = 0; p <= 32; ++p) s += "  drive port=" + std::to_string(p) + "\n";
    for (int u = 0; u <= 30; ++u)
        s += "  unit number=" + std::to_string(u) + " type=single drives=" + std::to_string(u) +
             "\n";
    s += "controller index=2 driver=dq-sas arch=8 model=\"QX-8\" ports=24 max-active-drives=64 "
         "max-drives-per-unit=32\n";
    for (int p = 0; p < 24; ++p) s += "  drive port=" + std::to_string(p) + " interface=sas\n";
    s += "  unit number=0 type=raid5 drives=0,1,2\n  unit number=1 type=raid5 drives=3,4,5\n";
    return s;
}
PYV2_LIBRARY_MACHINE(machine().c_str());

class MaintenanceActions : public ::testing::Test {
  protected:
    // The command log stays off: the tests read the controllers instead.
    MaintenanceActions() : env_("CommandLog 0\n"), context_(&env_.config(), &env_.catalogue()) {}

    // The message of the redirect page an administrator's request answers.
    std::string act(const std::string& query) {
        const std::string url = "/page2_2.html?" + query;
        PageBuilder page(&env_.config(), &env_.catalogue());
        page.set_access_level(kAccessAdmin);
        const PageRequest request{url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, kAccessAdmin};
        EXPECT_EQ(handle_page2_2(&context_, &page, request), 0);
        const std::string body(page.get_body(), static_cast<size_t>(page.get_body_length()));
        std::smatch m;
        static const std::regex kMessage(
            "parent\\.lastmessage = \"<font[^>]*>(&nbsp;)*(.*)</font>\";");
        return std::regex_search(body, m, kMessage) ? m[2].str() : "no message in: " + body;
    }

    static ObjectId unit(uint8_t controller, uint8_t number, uint8_t sub_unit = 0xFF) {
        ObjectId id;
        EXPECT_EQ(ctl_make_unit_id(controller, 0xFF, number, sub_unit, 0xFF, &id), 0);
        return id;
    }
    static int32_t type_of(ObjectId id) {
        int32_t type = -1;
        return ctl_get_unit_type(id, &type) == 0 ? type : -1;
    }

    pagetest::PageEnv env_;
    DaemonContext context_;
};

TEST_F(MaintenanceActions, AVerifyInitialisesARedundantUnitNeverInitialisedButARaid6) {
    uint8_t initialized = 1;
    ASSERT_EQ(ctl_get_unit_initialized(unit(0, 1), &initialized), 0);
    ASSERT_EQ(initialized, 0);  // the RAID 6 is not initialised either
    EXPECT_EQ(act("c=0&VerifyUnit=0"),
              "Unit was not previously initialized, starting initialize on Unit 0");
    EXPECT_EQ(act("c=0&VerifyUnit=1"), "Successfully started Verify on Unit 1");
}

TEST_F(MaintenanceActions, ARescanListsItsUnitsThenItsDrivesThenTheDrivesOfItsSpares) {
    EXPECT_EQ(act("c=0&RescanController=1"),
              "Rescan found the following unit(s): 2 : Found the following drive(s): 11, 10");
    EXPECT_EQ(type_of(unit(0, 2)), 2);
    EXPECT_EQ(type_of(unit(0, 3)), 13);
    EXPECT_EQ(act("c=0&RescanController=1"),
              "Rescan found the following unit(s): [none] : Found the following drive(s): [none]");
}

TEST_F(MaintenanceActions, OneUnitPerDriveStopsAtTheFirstCreationRefused) {
    const std::string message =
        act("c=1&CreateDrives=31,32&CreateType=Single%20Disk&UnitName=&CreateStripe=7"
            "&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1"
            "&Readcache=2&QM_Recovery=3");
    const std::string done = "Successfully created unit(s): 31 as Single Disk : ";
    const std::string failed = " : Failed to create unit with drive 32";
    ASSERT_GT(message.size(), done.size() + failed.size()) << message;
    EXPECT_EQ(message.substr(0, done.size()), done);
    EXPECT_EQ(message.substr(message.size() - failed.size()), failed);
    EXPECT_EQ(type_of(unit(1, 31)), 11);
}

TEST_F(MaintenanceActions, AMigrationOnAFamily6ControllerReadsNoInterface) {
    // The SAS drive joins a unit of SATA drives: only later generations
    // compare the drives' interfaces.
    EXPECT_EQ(act("c=0&ModifyUnit=4&ModifyDrives=12&ModifyType=RAID%205&ModifyStripe=9"
                  "&ModifyDperS=0&CacheOn=0&AutoVerify=0&IgnoreECC=0"),
              "Successfully started Migrate on unit 4");
    EXPECT_EQ(type_of(unit(0, 4)), 32);
}

TEST_F(MaintenanceActions, AMigrationToRaid50KeepsTheDrivesPerSubunitAskedFor) {
    // Each RAID 5 of three drives becomes a RAID 50 of twelve: in subunits
    // of six for one, of three for the other.
    const struct {
        int unit;
        const char* drives;
        int per_subunit;
        uint32_t subunits;
    } cases[] = {{0, "6,7,8,9,10,11,12,13,14", 6, 2}, {1, "15,16,17,18,19,20,21,22,23", 3, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        const std::string n = std::to_string(c.unit);
        EXPECT_EQ(act("c=2&ModifyUnit=" + n + "&ModifyDrives=" + c.drives +
                      "&ModifyType=RAID%2050&ModifyStripe=9&ModifyDperS=" +
                      std::to_string(c.per_subunit) + "&CacheOn=0&AutoVerify=0&IgnoreECC=0"),
                  "Successfully started Migrate on unit " + n);
        // The migrating unit's second sub-unit is the new layout.
        const ObjectId to = unit(2, static_cast<uint8_t>(c.unit), 1);
        uint32_t subunits = 0;
        EXPECT_EQ(type_of(to), 8);
        ASSERT_EQ(ctl_get_subunit_count(to, &subunits), 0);
        EXPECT_EQ(subunits, c.subunits);
    }
}

}  // namespace
