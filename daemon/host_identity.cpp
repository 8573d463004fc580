#include "daemon/host_identity.h"

#include <sys/utsname.h>

#include <cstdio>
#include <cstring>

HostIdentity::HostIdentity()
{
    struct utsname u;
    if (uname(&u) == 0) {
        std::snprintf(host_name_, sizeof host_name_, "%s", u.nodename);
        char text[sizeof u.release + 8];
        std::snprintf(text, sizeof text, "Linux %s", u.release);
        std::memcpy(os_text_, text, sizeof os_text_ - 1);  // cut to 51 characters
        os_text_[sizeof os_text_ - 1] = '\0';
    } else {
        std::snprintf(host_name_, sizeof host_name_, "%s", "[unknown machine]");
        std::snprintf(os_text_, sizeof os_text_, "%s", "Linux");
    }
}

HostIdentity::~HostIdentity() = default;
