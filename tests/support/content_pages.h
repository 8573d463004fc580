// Every content page and the menu, one line each, as a request gets them:
// the page benchmarks and the page tests walk this table. In a URL, {c} is
// the shown controller's position in the list, {u} its first unit's number,
// {p} the port of its first drive and {f} the port of a free drive (the
// page creates a unit of it).
#pragma once

#include <cstring>
#include <string>

namespace test_support {

struct ContentPage {
    const char* name;
    const char* url;
};

inline constexpr ContentPage kContentPages[] = {
    {"summary", "/page0.html?c={c}"},
    {"controller", "/page1_0.html?c={c}"},
    {"units", "/page1_1.html?c={c}&u=-2"},
    {"unit tree", "/page1_1.html?c={c}&u={u}"},
    {"drives", "/page1_2.html?c={c}"},
    {"phys", "/page1_0_1.html?c={c}"},
    {"menu", "/menu.html"},
    {"settings", "/page2_0.html?c={c}"},
    {"maintenance", "/page2_2.html?c={c}"},
    {"unit creation",
     "/page2_2.html?CreateDrives={f}&CreateType=Single%20Disk&UnitName=Bench&CreateStripe=7"
     "&CreateDperS=0&CacheOn=1&AutoVerify=1&IgnoreECC=0&Queuing=1&Pervault=1&Readcache=2"
     "&QM_Recovery=3&c={c}"},
    {"scheduling", "/page2_1.html?c={c}"},
    {"battery", "/page3_1.html?c={c}"},
    {"smart", "/smart.html?c={c}&p={p}"},
    {"alarms", "/page3_0.html?c={c}"},
    {"alarms data", "/alarmsdata.html?c={c}"},
    {"enclosures", "/page3_2.html?c={c}"},
    {"enclosure", "/page3_3.html?c={c}&e=0"},
    {"daemon", "/page4.html?c={c}"},
};

// Whether the page creates a unit of a free drive.
inline bool takes_free_drive(const ContentPage& page) {
    return std::strstr(page.url, "{f}") != nullptr;
}

// The page's URL for the objects shown.
inline std::string page_url(const char* pattern, int position, int unit, int port, int free_port) {
    std::string url = pattern;
    const struct {
        const char* key;
        int value;
    } values[] = {{"{c}", position}, {"{u}", unit}, {"{p}", port}, {"{f}", free_port}};
    for (const auto& v : values)
        for (size_t at; (at = url.find(v.key)) != std::string::npos;)
            url.replace(at, std::strlen(v.key), std::to_string(v.value));
    return url;
}

}  // namespace test_support
