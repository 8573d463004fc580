#include "daemon/monitor_threads.h"

#include <csignal>

int start_monitor_thread(pthread_t* thread, void* (*routine)(void*), void* argument) {
    sigset_t blocked, before;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGQUIT);
    sigaddset(&blocked, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &blocked, &before);
    int result = pthread_create(thread, nullptr, routine, argument);
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    return result;
}
