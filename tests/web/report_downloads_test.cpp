// The error and enclosure diagnostic reports, byte for byte, as their
// handlers answer them from the simulated controllers: the header lines with
// their values in their columns, each log between its BEGIN and END lines
// exactly as the device gave it, and the requests that name no controller or
// enclosure, or one that does not exist.
#include "web/actions/report_downloads.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "api/command_logger.h"
#include "daemon/http_codes.h"
#include "tests/api/library_machine.h"
#include "tests/daemon/context_fixture.h"
#include "web/actions/handler_frame.h"

namespace {

// Position 0: a first-series controller; 1: a second-series controller with
// a host bus and events; 2: a later generation with two enclosures, the
// second of which has nothing in its diagnostic log.
PYV2_LIBRARY_MACHINE(R"(kernel release=6.1.0-sim
clock mode=virtual
clock utc-offset=0
driver name=dq-xxxx pairing=proc
driver name=dq-Mxxx pairing=sysfs
driver name=dq-sas pairing=sysfs
controller index=0 driver=dq-xxxx model="QX-L4" serial="L0" firmware="FE7X 1.05.00.034" bios="BE7X 1.08" ports=4
controller index=1 driver=dq-Mxxx arch=6 model="QX-6" serial="M6" firmware="FE9X 3.08.00.016" ports=2 memory=234881024
  param table=0x403 id=26 value=u32:0x44
  drive port=1 model="SIMDISK" capacity=976773168
  event code=0x0019 severity=2 text="port=1" time=1700000100 sequence=7
controller index=3 driver=dq-sas arch=8 model="QX-8" ports=4 phys=4
  drive port=0 model="SAS" interface=sas enclosure=0 slot=1
  drive port=1 model="SAS" interface=sas enclosure=0 slot=3
  drive port=2 model="SAS" interface=sas enclosure=1 slot=0
  enclosure number=0 type=ses kind=2 vendor="VENDOR" product="PRODUCT" revision="0101" slots=4 fans=1 temp-sensors=3 power-supplies=2 help="line one\n	line \"two\"\n"
  enclosure number=1 type=ses kind=2 vendor="OTHER" product="SECOND" revision="0202" slots=2 fans=0 temp-sensors=1 power-supplies=1 help=""
)");

constexpr size_t kBlock = 32768;

class ReportDownloadsTest : public ContextFixture {
  protected:
    void SetUp() override {
        ContextFixture::SetUp();
        context_->command_logger()->set_enabled(0);  // not into the machine's log
    }

    // The answer to url: its result, content type and body.
    std::string get(const std::string& url, unsigned* type = nullptr, int* result = nullptr) {
        PageBuilder page(config_.get(), &catalogue_);
        page.set_access_level(kAccessUser);
        const PageRequest request{url.c_str(), "127.0.0.1", "127.0.0.1", "", nullptr, kAccessUser};
        const bool enclosure = url.find("encl_diaglog_") != std::string::npos;
        const int r = enclosure ? handle_encl_diaglog(context_.get(), &page, request)
                                : handle_errorlog(context_.get(), &page, request);
        if (result != nullptr) *result = r;
        if (type != nullptr) *type = page.get_content_type();
        return std::string(page.get_body(), static_cast<size_t>(page.get_body_length()));
    }

    // The header of a report, lines ending "\n", with the values that change
    // from run to run (time, host, system) written "*" from their column on.
    std::string header_of(const std::string& report, size_t column) {
        const std::string header = report.substr(0, report.find("\r\n\r\n") + 4);
        std::string out;
        size_t at = 0;
        for (size_t end; (end = header.find("\r\n", at)) != std::string::npos; at = end + 2) {
            std::string line = header.substr(at, end - at);
            for (const char* name : {"Time Stamp:", "Host Name:", "OS Version:", "API Version:"})
                if (line.find(name) == 4 && line.size() >= column)
                    line = line.substr(0, column - 1) + "*";
            out += line + "\n";
        }
        return out;
    }
};

std::string padded(const std::string& text) {
    return text + std::string(kBlock - text.size(), '\0');
}

TEST_F(ReportDownloadsTest, ErrorReportOfAFirstSeriesController) {
    unsigned type = 0;
    int result = -1;
    const std::string report = get("/errorlog_0.dat", &type, &result);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(type, static_cast<unsigned>(kContentBinary));
    EXPECT_EQ(header_of(report, 21),
              "### Pyv2 Version:   2.11.00.021\n"
              "### Time Stamp:     *\n"
              "### Host Name:      *\n"
              "### OS Version:     *\n"
              "### Driver Version: 1.26.02.002\n"
              "### Controller ID:  0\n"
              "### Model:          QX-L4\n"
              "### Firmware:       FE7X 1.05.00.034\n"
              "### BIOS:           BE7X 1.08\n"
              "### Serial #:       L0\n"
              "### Memory:         256 MB\n"
              "\n");
    EXPECT_TRUE(
        std::regex_search(report, std::regex("### Time Stamp:     [0-9]{2}:[0-9]{2}\\.[0-9]{2} "
                                             "[0-9]{2}-[A-Z][a-z]{2}-[0-9]{4}\r\n")));
    const size_t begin = report.find("\r\n\r\n") + 4;
    const std::string log = padded(
        "QX-L4 error log\n0000: cold start, firmware FE7X 1.05.00.034\n"
        "0001: port 9 timeout, retried\n0002: port 9 error, drive dropped\n");
    EXPECT_EQ(report.substr(begin),
              "### BEGIN Firmware Print Log" + log + "\r\n### END Firmware Print Log");
}

TEST_F(ReportDownloadsTest, ErrorReportOfASecondSeriesControllerHasItsBusAndBothLogs) {
    const std::string report = get("/errorlog_1.dat");
    const std::string header = header_of(report, 21);
    EXPECT_NE(header.find("### Controller ID:  1\n### Model:          QX-6\n"), std::string::npos);
    EXPECT_NE(header.find("### Memory:         224 MB\n### Bus Protocol:   PCIX\n"
                          "### Bus Width:      64 bits\n### Bus Speed:      100 MHz\n\n"),
              std::string::npos)
        << header;
    const size_t begin = report.find("\r\n\r\n") + 4;
    const std::string first = "### BEGIN Firmware Print Log";
    const std::string second = "\r\n### END Firmware Print Log\r\n### BEGIN Firmware Print Buffer";
    ASSERT_EQ(report.compare(begin, first.size(), first), 0);
    ASSERT_EQ(report.compare(begin + first.size() + kBlock, second.size(), second), 0);
    const std::string print_log = report.substr(begin + first.size(), kBlock);
    EXPECT_TRUE(std::regex_search(
        print_log,
        std::regex("^[-0-9]{10} [:0-9]{8} I 0000 controller QX-6 serial M6 firmware "
                   "FE9X 3.08.00.016 started\n2023-11-14 22:15:00 W 0019 seq=7 port=1\n")))
        << print_log.substr(0, 200);
    EXPECT_EQ(print_log.find('\0'), print_log.find_last_not_of('\0') + 1);
    EXPECT_EQ(report.substr(begin + first.size() + kBlock + second.size()),
              padded("port 00: no device\nport 01: link up, device ready\n") +
                  "\r\n### END Firmware Print Buffer");
}

TEST_F(ReportDownloadsTest, ErrorReportRequests) {
    // A number past the list (or below it) reports the first controller.
    for (const char* url :
         {"/errorlog_7.dat", "/errorlog_-1.dat", "/errorlog_99999999999999999999.dat",
          "/errorlog_1234567890123456789012345678901234567890.dat"})
        EXPECT_NE(get(url).find("### Controller ID:  0\r\n"), std::string::npos) << url;
    EXPECT_NE(get("/errorlog_2").find("### Controller ID:  3\r\n"), std::string::npos);
    // No number: the message on the unit page, as a failure.
    int result = -1;
    const std::string page = get("/errorlog_.dat", nullptr, &result);
    EXPECT_EQ(result, 0);
    EXPECT_NE(page.find("url = \"/page1_1.html?c=\" + parent.cur_controller;"), std::string::npos);
    EXPECT_NE(page.find("The report request names no controller"), std::string::npos);
}

TEST_F(ReportDownloadsTest, EnclosureReport) {
    unsigned type = 0;
    const std::string report = get("/encl_diaglog_c2e0.dat", &type);
    EXPECT_EQ(type, static_cast<unsigned>(kContentBinary));
    EXPECT_EQ(header_of(report, 26),
              "### Pyv2 Version:        2.11.00.021\n"
              "### API Version:         *\n"
              "### Time Stamp:          *\n"
              "### Host Name:           *\n"
              "### OS Version:          *\n"
              "### Enclosure Number:    0\n"
              "### Enclosure Vendor:    VENDOR  \n"
              "### Enclosure Model:     PRODUCT         \n"
              "### Enclosure Revision:  0101\n"
              "### Slots:               4\n"
              "### Drives:              2\n"
              "### Fans:                1\n"
              "### Temperature Sensors: 3\n"
              "### Power Supplies:      2\n"
              "\n");
    EXPECT_EQ(report.substr(report.find("\r\n\r\n") + 4),
              "### BEGIN Enclosure Diagnostic Logline one\n\tline \"two\"\n"
              "\r\n### END Enclosure Diagnostic Log");
}

TEST_F(ReportDownloadsTest, EnclosureRequests) {
    // The second enclosure, with an empty log; an index past the list is
    // the first enclosure, a controller past it the first controller.
    const std::string second = get("/encl_diaglog_c2e1.dat");
    EXPECT_NE(second.find("### Enclosure Number:    1\r\n### Enclosure Vendor:    OTHER"),
              std::string::npos);
    EXPECT_NE(second.find("### Slots:               2\r\n### Drives:              1\r\n"),
              std::string::npos);
    EXPECT_EQ(second.substr(second.find("\r\n\r\n") + 4),
              "### BEGIN Enclosure Diagnostic Log\r\n### END Enclosure Diagnostic Log");
    for (const char* url : {"/encl_diaglog_c2e9.dat", "/encl_diaglog_c2e-1.dat",
                            "/encl_diaglog_c2e99999999999999999.dat"})
        EXPECT_NE(get(url).find("### Enclosure Number:    0\r\n### Enclosure Vendor:    VENDOR"),
                  std::string::npos)
            << url;

    // A controller without enclosures: the enclosure summary says so.
    int result = -1;
    std::string page = get("/encl_diaglog_c1e0.dat", nullptr, &result);
    EXPECT_EQ(result, 0);
    EXPECT_NE(page.find("url = \"/page3_2.html?c=\" + parent.cur_controller;"), std::string::npos);
    page = get("/encl_diaglog_c7e0.dat");  // position 0: a first-series controller
    EXPECT_NE(page.find("url = \"/page3_2.html?c=\""), std::string::npos);

    // Requests without the numbers.
    struct Missing {
        const char* url;
        const char* message;
    } const missing[] = {
        {"/encl_diaglog_c2.dat", "The report request names no controller"},
        {"/encl_diaglog_.dat", "The report request names no controller"},
        {"/encl_diaglog_c2e.dat", "The report request names no enclosure"},
        {"/encl_diaglog_c2e", "The report request names no enclosure"},
    };
    for (const Missing& m : missing) {
        page = get(m.url);
        EXPECT_NE(page.find("url = \"/page1_1.html?c=\""), std::string::npos) << m.url;
        EXPECT_NE(page.find(m.message), std::string::npos) << m.url;
    }
}

TEST(EnclosureReportUrl, Parsing) {
    struct Case {
        const char* url;
        bool parsed;
        int controller;
        int enclosure;
        bool missing_enclosure;
    } const cases[] = {
        {"/encl_diaglog_c0e1.dat", true, 0, 1, false},
        {"/encl_diaglog_c12e15.dat", true, 12, 15, false},
        {"/encl_diaglog_x3e4", true, 3, 4, false},
        // Only the first fifteen characters of a number are read.
        {"/encl_diaglog_c1e1234567890123456789.dat", true, 1, 2147483647, false},
        {"/encl_diaglog_c1.dat", false, 0, 0, false},
        {"/encl_diaglog_c1e.dat", false, 0, 0, true},
        {"/encl_diaglog_", false, 0, 0, false},
    };
    for (const Case& c : cases) {
        int controller = 0, enclosure = 0;
        bool missing = false;
        EXPECT_EQ(parse_encl_diaglog_url(c.url, &controller, &enclosure, &missing), c.parsed)
            << c.url;
        EXPECT_EQ(missing, c.missing_enclosure) << c.url;
        if (!c.parsed) continue;
        EXPECT_EQ(controller, c.controller) << c.url;
        EXPECT_EQ(enclosure, c.enclosure) << c.url;
    }
}

}  // namespace
