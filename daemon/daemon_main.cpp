#include "daemon/daemon_main.h"

#include <dirent.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <new>

#include "daemon/config_store.h"
#include "daemon/connection_pool.h"
#include "daemon/daemon_context.h"
#include "daemon/http_codes.h"
#include "daemon/listen_socket.h"
#include "daemon/monitor.h"
#include "daemon/monotonic_clock.h"
#include "daemon/start_controllers.h"
#include "daemon/temp_files.h"
#include "daemon/termination.h"
#include "daemon/tls_context.h"
#include "driver/message_catalogue.h"
#include "web/actions/firmware_image_file.h"

namespace {

// The long-lived objects, created by run_daemon and deleted by
// shutdown_daemon.
MessageCatalogue* g_catalogue = nullptr;
ConfigStore* g_config = nullptr;
MonitorThread* g_monitor = nullptr;
TlsContext* g_tls = nullptr;
ListenSocket* g_listen = nullptr;
DaemonContext* g_context = nullptr;
ConnectionPool* g_pool = nullptr;

// The start-up and rebuild failures: the daemon text (category 12) printed
// and the exit code.
struct Failure {
    int message;
    int exit_code;
};

enum FailureKind {
    kNoConfig,
    kNoTlsObject,
    kNoTlsContext,
    kNoListenSocket,
    kListenFailed,
    kNoContext,
    kRebuildNoTlsObject,
    kRebuildNoTlsContext,
    kRebuildNoListenSocket,
    kRebuildListenFailed,
};

const Failure kFailures[] = {
    {1, 1}, {2, 7}, {3, 7}, {4, 2}, {5, 3}, {6, 4}, {7, 8}, {8, 8}, {9, 5}, {10, 6},
};

// Prints the failure's text (with the listener's result for a failed
// rebuild), shuts down and gives the exit code.
int fail(FailureKind kind, int open_result = 0)
{
    const Failure& f = kFailures[kind];
    MessageCatalogue fallback;
    MessageCatalogue* catalogue = g_catalogue != nullptr ? g_catalogue : &fallback;
    const char* text = catalogue->lookup(12, f.message, "", 0);
    if (kind == kRebuildListenFailed)
        std::printf("%s - %d\n", text, open_result);
    else
        std::printf("%s\n", text);
    std::fflush(stdout);
    shutdown_daemon();
    return f.exit_code;
}


void stop_if_signalled()
{
    if (termination_signal() != 0)
        on_terminate_signal(termination_signal());
}

// A new TLS context and listening socket on the configured port.
int build_listener(bool rebuild)
{
    g_tls = new (std::nothrow) TlsContext(g_config);
    if (g_tls == nullptr)
        return fail(rebuild ? kRebuildNoTlsObject : kNoTlsObject);
    if (g_tls->context() == nullptr)
        return fail(rebuild ? kRebuildNoTlsContext : kNoTlsContext);
    stop_if_signalled();
    g_listen = new (std::nothrow) ListenSocket();
    if (g_listen == nullptr)
        return fail(rebuild ? kRebuildNoListenSocket : kNoListenSocket);
    int opened = g_listen->open(g_config->get_port());
    if (opened != 0)
        return rebuild ? fail(kRebuildListenFailed, opened) : fail(kListenFailed);
    return 0;
}

// After a change of the port: the old listener is closed before the new one
// is opened, so nothing is accepted in between.
int rebuild_listener()
{
    delete g_tls;
    g_tls = nullptr;
    delete g_listen;
    g_listen = nullptr;
    return build_listener(true);
}

// How long accepting pauses at most when no descriptor is left and no
// connection of the pool closes (the descriptors may be held elsewhere).
constexpr long long kOutOfDescriptorsPause = 1000;

// Takes every connection waiting in the listen queue into the pool. Returns
// false when no descriptor (or no memory for one) was left.
bool accept_waiting()
{
    char peer[16];
    for (;;) {
        int fd = g_listen->accept_connection(peer);
        if (fd >= 0) {
            g_pool->add(fd, peer, monotonic_ms(), g_tls);
            continue;
        }
        return !(errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM);
    }
}

// The poll time-out: the pool's next limit, or sooner the end of a pause.
int wait_ms(long long pause_until, long long now)
{
    int wait = g_pool->next_wait(now);
    if (pause_until <= now)
        return wait;
    long long left = pause_until - now;
    return wait >= 0 && wait < left ? wait : static_cast<int>(left);
}

// Drives the connections: one poll over the listener, the termination pipe
// and every connection; then what arrived, the limits that ran out, new
// connections, and one request served.
int accept_loop()
{
    pollfd fds[2 + ConnectionPool::kRoom];
    // Out of descriptors: accepting pauses, the other connections going on,
    // until one of them closes.
    long long pause_until = 0;
    int paused_with = 0;
    for (;;) {
        stop_if_signalled();
        long long now = monotonic_ms();
        if (pause_until > now && g_pool->count() < paused_with)
            pause_until = 0;
        // After a port change nothing is accepted until the answer to that
        // request is written; then the listener is rebuilt.
        bool accepting = !g_pool->rebuild_waiting() && pause_until <= now;
        fds[0] = {accepting ? g_listen->descriptor() : -1, POLLIN, 0};
        fds[1] = {termination_descriptor(), POLLIN, 0};
        int open = g_pool->fill_poll(fds + 2);
        int n = poll(fds, static_cast<nfds_t>(2 + open), wait_ms(pause_until, now));
        if (n < 0 && errno != EINTR)
            continue;
        stop_if_signalled();
        g_pool->after_poll(n < 0 ? nullptr : fds + 2, monotonic_ms());
        if (accepting && n > 0 && fds[0].revents != 0 && !accept_waiting()) {
            pause_until = monotonic_ms() + kOutOfDescriptorsPause;
            paused_with = g_pool->count();
        }
        g_pool->serve_next(monotonic_ms());
        g_pool->sweep();
        if (g_pool->take_rebuild_due()) {
            int rebuilt = rebuild_listener();
            if (rebuilt != 0)
                return rebuilt;
        }
    }
}

// Logger mode: the monitor runs on this thread and nothing listens; a
// terminating signal ends its pass and its pause.
int run_logger_mode()
{
    MonitorControl control(termination_descriptor());
    monitor_main(g_config, &control);
    for (;;) {
        stop_if_signalled();
        pollfd fd = {termination_descriptor(), POLLIN, 0};
        poll(&fd, 1, -1);
    }
}

// Closes every descriptor above the standard three: whatever the starter
// left open (a pipe, a log, a socket) would otherwise stay held for the
// daemon's life.
void close_inherited_descriptors()
{
    if (close_range(3, ~0U, 0) == 0)
        return;
    // Without close_range: the descriptors the process has, as listed, a
    // batch at a time.
    int found[256];
    int count;
    do {
        DIR* dir = opendir("/proc/self/fd");
        if (dir == nullptr)
            return;
        int own = dirfd(dir);
        count = 0;
        while (dirent* e = readdir(dir)) {
            int fd = std::atoi(e->d_name);
            if (fd > 2 && fd != own && count < 256)
                found[count++] = fd;
        }
        closedir(dir);
        for (int i = 0; i < count; i++)
            ::close(found[i]);
    } while (count == 256);
}

// The process settings that do not depend on how the daemon was started:
// it keeps the terminal's session, so a hang-up must not end it; the files
// it creates are its own alone, whatever umask it inherited; and it holds no
// descriptor of its starter's but the standard three.
void prepare_process()
{
    signal(SIGHUP, SIG_IGN);
    umask(077);
    close_inherited_descriptors();
}

}  // namespace

int daemon_program_main()
{
    if (fork() != 0)
        return 0;
    return run_daemon();
}

int run_daemon()
{
    prepare_process();
    g_catalogue = new MessageCatalogue();
    g_config = new (std::nothrow) ConfigStore();
    if (g_config == nullptr)
        return fail(kNoConfig);
    g_config->set_catalogue(g_catalogue);
    install_termination_handler();
    // No other thread writes the file yet.
    remove_stale_temps(g_config->get_file_path());
    apply_start_settings();
    // An upload being stored when the process ended may have left its
    // temporary file in the image directory, which the file names.
    remove_stale_firmware_temps(g_config->get_img_path());
    stop_if_signalled();
    if (g_config->get_logger() != 0)
        return run_logger_mode();
    // When the thread cannot be started the web server runs without it.
    g_monitor = new (std::nothrow) MonitorThread(g_config);
    if (g_monitor != nullptr) g_monitor->start();

    int built = build_listener(false);
    if (built != 0)
        return built;
    g_context = new (std::nothrow) DaemonContext(g_config, g_catalogue);
    if (g_context == nullptr)
        return fail(kNoContext);
    g_pool = new (std::nothrow) ConnectionPool(g_context, g_config);
    if (g_pool == nullptr)
        return fail(kNoContext);
    return accept_loop();
}

int apply_start_settings()
{
    g_config->read_file();
    // A file that cannot be written does not stop the start: the daemon
    // runs on what it read, and each change made on the settings pages
    // reports whether it was stored.
    (void)g_config->write_file();
    apply_start_controller_settings(*g_config);
    return 0;
}

int shutdown_daemon()
{
    // The monitor ends its pass first, so no event file is left half
    // written; then the connections, which use the objects below.
    if (g_monitor != nullptr) g_monitor->stop();
    delete g_monitor;
    g_monitor = nullptr;
    delete g_pool;
    g_pool = nullptr;
    delete g_catalogue;
    g_catalogue = nullptr;
    if (g_config != nullptr)
        g_config->set_catalogue(nullptr);
    delete g_config;
    g_config = nullptr;
    delete g_tls;
    g_tls = nullptr;
    delete g_listen;
    g_listen = nullptr;
    delete g_context;
    g_context = nullptr;
    return 0;
}

void on_terminate_signal(int signal_number)
{
    shutdown_daemon();
    std::exit(signal_number);
}
