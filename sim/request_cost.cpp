// What a driver request costs: the time the firmware takes to answer it
// ("latency request-us="), and the counts of requests and of distinct
// requests since the last reset.
#include <sched.h>
#include <sys/prctl.h>
#include <time.h>

#include <cerrno>
#include <string_view>

#include "sim/machine.h"

namespace sim {

namespace {

// One request as a number: its controller, request number and sent bytes.
// Two different requests share it with a chance of one in 2^64.
uint64_t request_key(int controller, unsigned long request, const uint8_t* sent, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(sent), size);
    const uint64_t head = uint64_t(uint32_t(controller)) << 32 | uint32_t(request);
    return std::hash<std::string_view>{}(bytes) ^ head * 0x9E3779B97F4A7C15ull;
}

// How late a sleeping thread may wake up.
constexpr uint64_t kWakeUpMicroseconds = 100;

uint64_t to_nanoseconds(const struct timespec& t) {
    return uint64_t(t.tv_sec) * 1000000000u + uint64_t(t.tv_nsec);
}

}  // namespace

uint64_t receive_request(Machine& m, int controller, unsigned long request, const uint8_t* sent,
                         size_t size) {
    ++m.request_counts.requests;
    if (m.request_keys_kept &&
        m.request_keys.insert(request_key(controller, request, sent, size)).second)
        ++m.request_counts.distinct;
    return m.request_latency_us;
}

void wait_for_answer(uint64_t microseconds) {
    if (microseconds == 0) return;
    const int saved_errno = errno;
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const uint64_t until = to_nanoseconds(now) + microseconds * 1000;
    // A sleeping thread wakes up tens of microseconds late (the kernel's
    // timer slack, 50 microseconds by default, and the scheduler), a large
    // part of a short latency: it sleeps without the slack until shortly
    // before the answer is due and yields the processor until it is.
    if (microseconds > kWakeUpMicroseconds) {
        const uint64_t wake = until - kWakeUpMicroseconds * 1000;
        const struct timespec at = {time_t(wake / 1000000000), long(wake % 1000000000)};
        const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        if (slack > 1) prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0);
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr) == EINTR) {
        }
        if (slack > 1) prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack), 0, 0, 0);
    }
    while (clock_gettime(CLOCK_MONOTONIC, &now) == 0 && to_nanoseconds(now) < until) sched_yield();
    errno = saved_errno;
}

RequestCounts request_counts() {
    RequestCounts counts;
    with_machine([&](Machine& m) { counts = m.request_counts; });
    return counts;
}

void reset_request_counts() {
    with_machine([](Machine& m) {
        m.request_counts = RequestCounts{};
        m.request_keys.clear();
        m.request_keys_kept = true;
    });
}

}  // namespace sim
