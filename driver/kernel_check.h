// The kernel check of the discovery: kernel release and machine name
// against the library's build; and the architecture class of the running
// kernel, which sizes the second series' firmware commands.
#pragma once

// The architecture the library was built for, as uname names it.
extern const char kBuildArch[];

// A release of 2.6.23 or older: major <= 2, minor <= 6 and patch <= 23, each
// number compared by itself ("2.4.30" is not old). Missing numbers count 0.
bool is_old_kernel_release(const char* release);

// An "x86_64" machine needs an "x86_64" build; any other machine passes.
bool machine_matches_build(const char* machine, const char* build_arch);

// The architecture class of the running kernel: 3 when its machine name is
// exactly "x86_64" or "ppc64", else 2 (also when uname fails). A packet of
// GET or SET PARAMETER is 2 + the class words long. The kernel does not
// change under a running process, so the class is learnt once, from the
// discovery's uname or else at the first request, and kept; any thread may
// ask for it.
int series_arch_class();
// The class of a machine name; null (uname failed) gives 2.
int arch_class_of_machine(const char* machine);
// Keeps the class of the machine name a discovery read (null: its uname
// failed), so that requests need no uname of their own.
void learn_arch_class(const char* machine);
