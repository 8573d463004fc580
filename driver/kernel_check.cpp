#include "driver/kernel_check.h"

#include <sys/utsname.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

#include "platform/platform.h"

#if defined(__x86_64__)
const char kBuildArch[] = "x86_64";
#elif defined(__i386__)
const char kBuildArch[] = "i686";
#elif defined(__aarch64__)
const char kBuildArch[] = "aarch64";
#elif defined(__powerpc64__)
const char kBuildArch[] = "ppc64";
#else
const char kBuildArch[] = "unknown";
#endif

bool is_old_kernel_release(const char* release) {
    long part[3] = {0, 0, 0};
    const char* p = release;
    for (int i = 0; i < 3 && p != nullptr; ++i) {
        part[i] = std::strtol(p, nullptr, 10);
        p = std::strchr(p, '.');
        if (p != nullptr) ++p;
    }
    return part[0] <= 2 && part[1] <= 6 && part[2] <= 23;
}

bool machine_matches_build(const char* machine, const char* build_arch) {
    return std::strcmp(machine, "x86_64") != 0 || std::strcmp(build_arch, "x86_64") == 0;
}

namespace {

// 0 until learnt.
std::atomic<int> g_arch_class{0};

}  // namespace

int arch_class_of_machine(const char* machine) {
    if (machine == nullptr) return 2;
    return std::strcmp(machine, "x86_64") == 0 || std::strcmp(machine, "ppc64") == 0 ? 3 : 2;
}

void learn_arch_class(const char* machine) {
    g_arch_class.store(arch_class_of_machine(machine), std::memory_order_relaxed);
}

int series_arch_class() {
    int known = g_arch_class.load(std::memory_order_relaxed);
    if (known != 0) return known;
    // Two threads asking first both read the same kernel and keep the same
    // class.
    struct utsname name;
    learn_arch_class(platform::uname(&name) == 0 ? name.machine : nullptr);
    return g_arch_class.load(std::memory_order_relaxed);
}
