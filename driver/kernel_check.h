// The kernel check of the discovery: kernel release and machine name
// against the library's build.
#pragma once

// The architecture the library was built for, as uname names it.
extern const char kBuildArch[];

// A release of 2.6.23 or older: major <= 2, minor <= 6 and patch <= 23, each
// number compared by itself ("2.4.30" is not old). Missing numbers count 0.
bool is_old_kernel_release(const char* release);

// An "x86_64" machine needs an "x86_64" build; any other machine passes.
bool machine_matches_build(const char* machine, const char* build_arch);
