// SIGTERM and SIGQUIT end the daemon. The signal handler itself only notes
// the signal and wakes the main thread through a pipe; the main thread, at
// its next wait, runs the shutdown sequence and exits with the signal number.
// So no object is deleted under the feet of the code that was interrupted,
// whichever thread the signal arrived on.
#pragma once

// Creates the pipe and installs the handler for SIGTERM and SIGQUIT.
// Returns 0, or 1 when the pipe could not be made.
int install_termination_handler();

// The descriptor that becomes readable once a terminating signal arrived;
// -1 before install_termination_handler.
int termination_descriptor();

// The number of the terminating signal that arrived, or 0.
int termination_signal();

// The empty handler that SIGPIPE gets, so that a write to a client that has
// gone returns an error instead of ending the process.
void ignore_signal(int signal_number);
