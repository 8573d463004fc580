// The threads of the background monitor are started with the terminating
// signals blocked, so those always reach the main thread, which runs the
// shutdown.
#pragma once

#include <pthread.h>

// pthread_create with default attributes and SIGTERM, SIGQUIT and SIGHUP
// blocked in the new thread. 0, or the thread library's error.
int start_monitor_thread(pthread_t* thread, void* (*routine)(void*), void* argument);
