// The daemon's body: start-up in a fixed order, the accept loop that serves
// one connection at a time, the rebuild of the listener after a port change
// and the shutdown sequence.
#pragma once

// The program: forks; the parent (also when fork fails) returns 0 at once,
// the child returns run_daemon's result.
int daemon_program_main();

// Start-up and the accept loop. Returns only after a start-up or rebuild
// failure, with that failure's exit code.
int run_daemon();

// Reads the configuration file and writes it back at once, then applies the
// start-up controller settings. Always 0.
int apply_start_settings();

// Deletes the long-lived objects in the shutdown order. Always 0.
int shutdown_daemon();

// Runs the shutdown sequence and ends the process with the signal number as
// its status.
[[noreturn]] void on_terminate_signal(int signal_number);
