// The connection pool with real TLS clients over socket pairs, all driven on
// this thread; the pool's clock is the test's, so deadlines are exact.
#include "daemon/connection_pool.h"

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "daemon/http_codes.h"
#include "daemon/login.h"
#include "daemon/tls_context.h"
#include "tests/daemon/context_fixture.h"

namespace {

// The client end of one connection: nothing, a TLS greeting only, or a
// whole handshake followed by the bytes given to send().
class Client {
public:
    enum Kind { kSilent, kGreetingOnly, kTls };

    Client(SSL_CTX* ctx, Kind kind) : kind_(kind)
    {
        int fds[2];
        EXPECT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0, fds), 0);
        fd_ = fds[0];
        server_fd_ = fds[1];
        if (kind_ != kSilent) {
            ssl_ = SSL_new(ctx);
            SSL_set_fd(ssl_, fd_);
            SSL_set_connect_state(ssl_);
            SSL_do_handshake(ssl_);  // the greeting goes out now
        }
    }
    ~Client()
    {
        if (ssl_ != nullptr)
            SSL_free(ssl_);
        if (fd_ != -1)
            close(fd_);
    }

    // The server end, for the pool.
    int take_server_end() { return server_fd_; }
    // From now on the client takes nothing of the answer, and the socket
    // holds only a few kilobytes of it.
    void stop_reading()
    {
        int small = 1;
        setsockopt(server_fd_, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
        reads_ = false;
    }
    void send(const std::string& bytes) { pending_ += bytes; }

    // Goes on as far as the socket allows.
    void step()
    {
        if (kind_ != kTls || closed_ || ssl_ == nullptr)
            return;
        if (!SSL_is_init_finished(ssl_) && SSL_do_handshake(ssl_) != 1)
            return;
        while (!pending_.empty()) {
            int n = SSL_write(ssl_, pending_.data(), static_cast<int>(pending_.size()));
            if (n <= 0)
                break;
            pending_.erase(0, static_cast<size_t>(n));
        }
        char buf[16384];
        while (reads_) {
            int n = SSL_read(ssl_, buf, sizeof buf);
            if (n > 0) {
                answer_.append(buf, static_cast<size_t>(n));
                continue;
            }
            int e = SSL_get_error(ssl_, n);
            if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
                closed_ = true;
            return;
        }
    }

    // Whether the server closed its end (what it sent is dropped; use only
    // once the answer no longer matters).
    bool server_closed()
    {
        char buf[16384];
        for (;;) {
            ssize_t n = recv(fd_, buf, sizeof buf, 0);
            if (n == 0)
                return true;
            if (n < 0)
                return errno != EAGAIN;
        }
    }

    // Closes the client's end without a word.
    void hang_up()
    {
        if (ssl_ != nullptr)
            SSL_free(ssl_);
        ssl_ = nullptr;
        close(fd_);
        fd_ = -1;
        closed_ = true;
    }

    const std::string& answer() const { return answer_; }
    bool handshake_done() const { return ssl_ != nullptr && SSL_is_init_finished(ssl_); }

private:
    Kind kind_;
    int fd_ = -1;
    int server_fd_ = -1;
    SSL* ssl_ = nullptr;
    std::string pending_;
    std::string answer_;
    bool closed_ = false;
    bool reads_ = true;
};

class ConnectionPoolTest : public ContextFixture {
protected:
    static void SetUpTestSuite()
    {
        dir_tls_ = new test_support::TempDir();
        tls_ = new TlsContext(nullptr, dir_tls_->path().c_str());
        client_ctx_ = SSL_CTX_new(TLS_client_method());
        SSL_CTX_set_verify(client_ctx_, SSL_VERIFY_NONE, nullptr);
    }
    static void TearDownTestSuite()
    {
        SSL_CTX_free(client_ctx_);
        delete tls_;
        delete dir_tls_;
    }
    void SetUp() override
    {
        ContextFixture::SetUp();
        ASSERT_NE(tls_->context(), nullptr);
        // The test's peers are other loopback addresses, served as remote.
        ASSERT_EQ(config_->set_remote_access(1), 0);
        pool_ = std::make_unique<ConnectionPool>(context_.get(), config_.get());
    }
    void TearDown() override
    {
        pool_.reset();
        clients_.clear();
        ContextFixture::TearDown();
    }

    Client& connect(Client::Kind kind, const char* peer = "127.0.0.5")
    {
        clients_.push_back(std::make_unique<Client>(client_ctx_, kind));
        pool_->add(clients_.back()->take_server_end(), peer, now_, tls_);
        return *clients_.back();
    }

    // Drives the clients and the pool at the test's clock until done() holds
    // (or a second of real time has passed); returns done().
    bool run_until(const std::function<bool()>& done)
    {
        for (int i = 0; i < 1000 && !done(); i++) {
            for (auto& c : clients_)
                c->step();
            pollfd fds[ConnectionPool::kRoom];
            int n = pool_->fill_poll(fds);
            poll(fds, static_cast<nfds_t>(n), 1);
            pool_->after_poll(fds, now_);
            pool_->sweep();
        }
        return done();
    }
    // Lets everything in flight settle.
    void settle()
    {
        int rounds = 0;
        run_until([&] { return ++rounds > 30; });
    }
    int count_in(HttpsConnection::State state) const
    {
        int n = 0;
        for (int i = 0; i < pool_->count(); i++)
            n += pool_->at(i)->state() == state;
        return n;
    }
    // Applies the limits as they stand at the test's clock.
    void advance(long long ms)
    {
        now_ += ms;
        pool_->after_poll(nullptr, now_);
    }

    static test_support::TempDir* dir_tls_;
    static TlsContext* tls_;
    static SSL_CTX* client_ctx_;
    std::unique_ptr<ConnectionPool> pool_;
    std::vector<std::unique_ptr<Client>> clients_;
    long long now_ = 1000000;
};

test_support::TempDir* ConnectionPoolTest::dir_tls_ = nullptr;
TlsContext* ConnectionPoolTest::tls_ = nullptr;
SSL_CTX* ConnectionPoolTest::client_ctx_ = nullptr;

const std::string kGet = "GET /blank.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\n\r\n";

TEST_F(ConnectionPoolTest, RequestsAreServedInTheOrderTheyArrivedWhole)
{
    Client& early = connect(Client::kTls);
    Client& late = connect(Client::kTls);
    early.send(kGet.substr(0, 20));
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReading) == 2; }));
    settle();
    late.send(kGet);
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReady) == 1; }));
    early.send(kGet.substr(20));
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReady) == 2; }));

    EXPECT_EQ(pool_->next_wait(now_), 0);
    EXPECT_EQ(pool_->serve_next(now_), 0);
    ASSERT_TRUE(run_until([&] { return !late.answer().empty(); }));
    EXPECT_EQ(late.answer().compare(0, 15, "HTTP/1.1 200 OK"), 0);
    EXPECT_EQ(early.answer(), "");
    EXPECT_EQ(pool_->serve_next(now_), 0);
    ASSERT_TRUE(run_until([&] { return !early.answer().empty(); }));
    EXPECT_EQ(pool_->serve_next(now_), -1);
    ASSERT_TRUE(run_until([&] { return pool_->count() == 0; }));
}

// Which connection makes room for a newcomer. Groups of connections are
// accepted in order, the clock moving on 10 ms before each group and each
// group polled at its own time; a group may then make progress later (half
// a request after its handshake), seen by the pool or still unread when the
// newcomer comes. Only a full pool makes room: of the newcomer's own
// address when it holds its share, else of the most crowded address, and
// there the connection that has gone longest without progress, after what
// has arrived for it was read.
TEST_F(ConnectionPoolTest, WhichConnectionMakesRoom)
{
    enum Later { kNothing, kProgressSeen, kProgressUnread };
    struct Group {
        const char* tag;
        const char* peer;
        Client::Kind kind;
        int count;
        Later later;
    };
    struct Case {
        const char* name;
        std::vector<Group> groups;
        const char* newcomer;  // its peer
        const char* closed;    // the tag whose first connection closes; "newcomer"; "" none
    };
    const char* A = "127.0.0.5";
    const char* B = "127.0.0.6";
    const char* C = "127.0.0.7";
    const auto greeting = Client::kGreetingOnly;
    const auto silent = Client::kSilent;
    const auto tls = Client::kTls;
    const Case cases[] = {
        {"room not full: an address holds more than its share", {{"own", A, greeting, 24, kNothing}}, A, ""},
        {"stalled handshakes before a newcomer of their address not yet polled",
         {{"stalled", A, greeting, 16, kNothing}, {"other", B, silent, 47, kNothing}, {"unpolled", A, silent, 1, kProgressUnread}},
         A, "stalled"},
        {"a connection accepted first that made progress since stays",
         {{"progressing", A, tls, 1, kProgressSeen}, {"stalled", A, greeting, 1, kNothing}, {"fill", A, silent, 62, kNothing}},
         A, "stalled"},
        {"a connection whose progress is still unread is read, and stays",
         {{"unread", A, tls, 1, kProgressUnread}, {"fill", A, silent, 63, kNothing}}, A, "fill"},
        {"silent connections go in accepting order",
         {{"first", A, silent, 1, kNothing}, {"later", A, silent, 63, kNothing}}, A, "first"},
        {"the most crowded address makes room for another, not the stalest",
         {{"stalest", B, greeting, 10, kNothing}, {"crowd", A, silent, 30, kNothing}, {"rest", C, silent, 24, kNothing}},
         "127.0.0.8", "crowd"},
        {"an address at its share makes room itself",
         {{"crowd", A, silent, 40, kNothing}, {"share", B, silent, 24, kNothing}}, B, "share"},
        {"an address below its share takes room from the most crowded",
         {{"crowd", A, silent, 49, kNothing}, {"few", B, silent, 15, kNothing}}, B, "crowd"},
    };
    const std::string half_get = kGet.substr(0, 20);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pool_ = std::make_unique<ConnectionPool>(context_.get(), config_.get());
        clients_.clear();
        std::vector<std::pair<const Group*, Client*>> open;
        for (const Group& g : c.groups) {
            now_ += 10;
            for (int i = 0; i < g.count; i++)
                open.push_back({&g, &connect(g.kind, g.peer)});
            // Every connection of a kind that talks has made its first
            // progress at the group's time.
            ASSERT_TRUE(run_until([&] {
                for (auto& [group, client] : open)
                    if (group == &g && g.kind == tls && !client->handshake_done())
                        return false;
                return true;
            }));
            settle();
        }
        now_ += 10;
        for (auto& [group, client] : open) {
            if (group->later == kNothing)
                continue;
            if (group->kind == tls) {
                client->send(half_get);
                client->step();
            }
        }
        bool seen = false;
        for (const Group& g : c.groups)
            seen = seen || g.later == kProgressSeen;
        if (seen)
            settle();
        now_ += 10;
        const int before = pool_->count();
        Client& newcomer = connect(silent, c.newcomer);

        if (c.closed[0] == '\0') {
            EXPECT_EQ(pool_->count(), before + 1);
        }
        const Client* expected = nullptr;
        for (auto& [group, client] : open)
            if (expected == nullptr && std::strcmp(group->tag, c.closed) == 0)
                expected = client;
        EXPECT_EQ(newcomer.server_closed(), std::strcmp(c.closed, "newcomer") == 0);
        for (auto& [group, client] : open)
            EXPECT_EQ(client->server_closed(), client == expected) << group->tag;
    }
}

TEST_F(ConnectionPoolTest, WaitingRequestsAreNeverClosedToMakeRoom)
{
    std::vector<Client*> ready;
    for (int i = 0; i < ConnectionPool::kRoom; i++) {
        ready.push_back(&connect(Client::kTls, i % 2 == 0 ? "127.0.0.5" : "127.0.0.6"));
        ready.back()->send(kGet);
    }
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReady) == ConnectionPool::kRoom; }));
    Client& newcomer = connect(Client::kSilent, "127.0.0.7");
    EXPECT_TRUE(newcomer.server_closed());
    EXPECT_EQ(count_in(HttpsConnection::kReady), ConnectionPool::kRoom);
    // A waiting request has no deadline: it is served whenever its turn comes.
    advance(HttpsConnection::kUploadDeadline * 10);
    EXPECT_EQ(count_in(HttpsConnection::kReady), ConnectionPool::kRoom);
}

// A request that has arrived whole but is not read yet is read before its
// connection could be closed to make room: it is served, and the next
// stalest connection goes instead.
TEST_F(ConnectionPoolTest, RequestThatArrivedWholeIsNotClosedToMakeRoom)
{
    std::vector<Client*> open;
    for (int i = 0; i < ConnectionPool::kRoom; i++)
        open.push_back(&connect(Client::kTls));
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReading) == ConnectionPool::kRoom; }));
    settle();
    open[0]->send(kGet);
    open[0]->step();  // on its way; the pool has not polled since
    connect(Client::kSilent);
    EXPECT_EQ(count_in(HttpsConnection::kReady), 1);
    EXPECT_TRUE(open[1]->server_closed());
    EXPECT_EQ(pool_->count(), ConnectionPool::kRoom);
    EXPECT_EQ(pool_->serve_next(now_), 0);
    ASSERT_TRUE(run_until([&] { return !open[0]->answer().empty(); }));
    EXPECT_EQ(open[0]->answer().compare(0, 15, "HTTP/1.1 200 OK"), 0);
}

// Each stage's limit, at the test's clock: a millisecond early nothing
// happens, at the limit the connection closes or is ready to be answered.
TEST_F(ConnectionPoolTest, EachStageHasItsOwnLimit)
{
    struct Case {
        const char* name;
        Client::Kind kind;
        std::string request;  // sent after the handshake
        long long limit;      // from the last byte sent
        bool closes;          // else: ready, with this read result
        int read_result;
    };
    char admin[kCryptTextSize];
    ASSERT_TRUE(login_cookie_value(config_->get_admin_pwd(), kAccessAdmin, admin));
    const std::string upload_head =
        "POST /fwcheck.html HTTP/1.1\r\nContent-Type: multipart/form-data; boundary=b\r\nCookie: WOXUSER=" +
        std::string(admin) + "\r\nContent-Length: 1000\r\n\r\n--b\r\n";
    const Case cases[] = {
        {"silent", Client::kSilent, "", HttpsConnection::kFirstDataWait, true, 0},
        {"greeting only", Client::kGreetingOnly, "", HttpsConnection::kHandshakeDeadline, true, 0},
        {"no request", Client::kTls, "", 10000, false, kReadNoData},
        {"half a GET line", Client::kTls, "GET /blank.html", 200, false, kReadBadLine},
        {"GET headers without their end", Client::kTls, "GET /blank.html HTTP/1.1\r\nHost: h\r\n", 200, false,
         kReadOk},
        {"form cut short", Client::kTls, "POST /login.html HTTP/1.1\r\nContent-Length: 50\r\n\r\nwhopwd=a",
         HttpsConnection::kRequestDeadline, false, kReadCutShort},
        {"upload cut short", Client::kTls, upload_head, HttpsConnection::kUploadDeadline, false, kReadCutShort},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pool_ = std::make_unique<ConnectionPool>(context_.get(), config_.get());
        clients_.clear();
        Client& client = connect(c.kind);
        if (c.kind == Client::kTls) {
            ASSERT_TRUE(run_until([&] { return client.handshake_done(); }));
            client.send(c.request);
        }
        settle();
        advance(c.limit - 1);
        ASSERT_EQ(pool_->count(), 1);
        HttpsConnection::State before = pool_->at(0)->state();
        EXPECT_NE(before, HttpsConnection::kReady);
        EXPECT_EQ(pool_->next_wait(now_), 1);
        advance(1);
        if (c.closes) {
            pool_->sweep();
            EXPECT_EQ(pool_->count(), 0);
            EXPECT_TRUE(client.server_closed());
            continue;
        }
        ASSERT_EQ(pool_->at(0)->state(), HttpsConnection::kReady);
        EXPECT_EQ(pool_->at(0)->read_result(), c.read_result);
    }
}

// A body is read only for a handler that takes one: the login form, the
// settings form with a login, the upload with the administrator's login,
// and never from a peer that RemoteAccess refuses. Any other POST is
// answered after its headers, whatever length it announces.
TEST_F(ConnectionPoolTest, BodiesAreReadOnlyForHandlersThatTakeThem)
{
    char admin[kCryptTextSize], user[kCryptTextSize];
    ASSERT_TRUE(login_cookie_value(config_->get_admin_pwd(), kAccessAdmin, admin));
    ASSERT_TRUE(login_cookie_value(config_->get_ro_pwd(), kAccessUser, user));
    struct Case {
        const char* name;
        const char* peer;
        const char* url;
        std::string cookie;
        bool read;
    };
    const Case cases[] = {
        {"login form", "127.0.0.1", "/login.html", "", true},
        {"login form of a refused peer", "127.0.0.5", "/login.html", "", false},
        {"settings form with a login", "127.0.0.1", "/page4.html?c=0&cp=1", user, true},
        {"settings form without a login", "127.0.0.1", "/page4.html?c=0&cp=1", "", false},
        {"upload of the administrator", "127.0.0.1", "/fwcheck.html?c=0", admin, true},
        {"upload of a user", "127.0.0.1", "/fwcheck.html?c=0", user, false},
        {"a page", "127.0.0.1", "/page0.html", admin, false},
        {"a logo named like a form", "127.0.0.1", "/login.html/a.gif", "", false},
        {"no handler", "127.0.0.1", "/nosuch.html", admin, false},
    };
    ASSERT_EQ(config_->set_remote_access(0), 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        pool_ = std::make_unique<ConnectionPool>(context_.get(), config_.get());
        clients_.clear();
        Client& client = connect(Client::kTls, c.peer);
        std::string head = std::string("POST ") + c.url + " HTTP/1.1\r\nHost: 127.0.0.1:888\r\n";
        if (!c.cookie.empty())
            head += "Cookie: WOXUSER=" + c.cookie + "\r\n";
        client.send(head + "Content-Length: " + std::to_string(kMaxContentLength) + "\r\n\r\nthepwd=x");
        settle();
        ASSERT_EQ(pool_->count(), 1);
        const HttpsConnection* connection = pool_->at(0);
        if (c.read) {
            EXPECT_EQ(connection->state(), HttpsConnection::kReading);
            continue;
        }
        ASSERT_EQ(connection->state(), HttpsConnection::kReady);
        EXPECT_EQ(connection->read_result(), kReadOk);
        EXPECT_STREQ(connection->request().body(), "");
        EXPECT_NE(pool_->serve_next(now_), -1);
        ASSERT_TRUE(run_until([&] { return client.answer().find("\r\n\r\n") != std::string::npos; }));
    }
}

// Large bodies count against the allowance by the bytes that have arrived,
// a peer holding at most a quarter of it; bodies of at most 64 KB never
// count. A request whose body does not fit is refused, and what a closed
// connection held is free again.
TEST_F(ConnectionPoolTest, LargeBodiesCountByWhatArrived)
{
    const long long allowance = 1 << 20;
    pool_ = std::make_unique<ConnectionPool>(context_.get(), config_.get(), allowance);
    const std::string announce = "POST /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\nContent-Length: " +
                                 std::to_string(kMaxContentLength) + "\r\n\r\n";
    const std::string kilobytes(50 * 1024, 'x');
    auto reading_holds = [&](int i, long long bytes) {
        return pool_->at(i) != nullptr && pool_->at(i)->state() == HttpsConnection::kReading &&
               pool_->at(i)->request().body_arrived() == bytes;
    };

    // Announcing the largest body holds nothing; what arrives counts.
    Client& slow = connect(Client::kTls, "127.0.0.10");
    slow.send(announce + "x");
    ASSERT_TRUE(run_until([&] { return reading_holds(0, 1); }));
    EXPECT_EQ(pool_->allowance().used_by("127.0.0.10"), 1);

    // A small body beside it, whole or in part, is not counted.
    Client& small = connect(Client::kTls, "127.0.0.10");
    small.send("POST /login.html HTTP/1.1\r\nContent-Length: " + std::to_string(BodyAllowance::kSmallBody) +
               "\r\n\r\n" + kilobytes);
    ASSERT_TRUE(run_until([&] { return reading_holds(1, 50 * 1024); }));
    EXPECT_EQ(pool_->allowance().used(), 1);

    // The peer's quarter: 256 KB in all of its bodies.
    for (int k = 0; k < 5; k++)
        slow.send(kilobytes);
    ASSERT_TRUE(run_until([&] { return reading_holds(0, 1 + 5 * 50 * 1024); }));
    EXPECT_EQ(pool_->allowance().used_by("127.0.0.10"), 1 + 5 * 50 * 1024);
    slow.send(kilobytes);
    ASSERT_TRUE(run_until([&] { return pool_->at(0)->state() == HttpsConnection::kReady; }));
    EXPECT_EQ(pool_->at(0)->read_result(), kReadTooLong);
    EXPECT_EQ(pool_->serve_next(now_), 1);
    ASSERT_TRUE(run_until([&] { return slow.answer().find("404 Not-Found") != std::string::npos; }));
    advance(HttpsConnection::kDrainTime);  // it is closed after draining what the client still sends
    pool_->sweep();
    EXPECT_EQ(pool_->allowance().used(), 0);

    // The allowance in all: five peers send 250 KB each, within their
    // quarters, one after the other; the bodies of four fit, the fifth
    // passes the allowance and is refused.
    const std::string quarter = announce + kilobytes + kilobytes + kilobytes + kilobytes + kilobytes;
    for (int p = 0; p < 5; p++) {
        std::string peer = "127.0.0.1" + std::to_string(p + 1);
        connect(Client::kTls, peer.c_str()).send(quarter);
        int i = pool_->count() - 1;
        ASSERT_TRUE(run_until([&] {
            return reading_holds(i, 5 * 50 * 1024) || pool_->at(i)->state() == HttpsConnection::kReady;
        }));
        EXPECT_EQ(pool_->at(i)->state(), p < 4 ? HttpsConnection::kReading : HttpsConnection::kReady) << p;
    }
    EXPECT_EQ(pool_->at(pool_->count() - 1)->read_result(), kReadTooLong);
    EXPECT_LE(pool_->allowance().used(), allowance);
    EXPECT_GE(pool_->allowance().used(), 4 * 5 * 50 * 1024);
}

// The pool is full: a newcomer takes the place of a connection of the peer
// address that holds the most, not of the oldest connection of all.
TEST_F(ConnectionPoolTest, FullPoolMakesRoomFromTheMostCrowdedPeer)
{
    const struct {
        const char* peer;
        int count;
    } peers[] = {{"127.0.0.21", 10}, {"127.0.0.22", 16}, {"127.0.0.23", 15}, {"127.0.0.24", 16}, {"127.0.0.25", 7}};
    std::vector<std::pair<const char*, Client*>> open;
    for (const auto& p : peers)
        for (int i = 0; i < p.count; i++)
            open.push_back({p.peer, &connect(Client::kSilent, p.peer)});
    ASSERT_EQ(pool_->count(), ConnectionPool::kRoom);
    settle();

    connect(Client::kSilent, "127.0.0.26");
    // Of the two peers with 16, the one whose connection came first.
    EXPECT_EQ(pool_->count_of("127.0.0.22"), 15);
    EXPECT_EQ(pool_->count_of("127.0.0.21"), 10);
    EXPECT_EQ(pool_->count_of("127.0.0.26"), 1);
    EXPECT_TRUE(open[10].second->server_closed());  // the oldest of 127.0.0.22
    EXPECT_FALSE(open[0].second->server_closed());  // the oldest of all
    connect(Client::kSilent, "127.0.0.26");
    EXPECT_EQ(pool_->count_of("127.0.0.24"), 15);
}

// A client that never reads its answer holds its connection only until the
// wait for it to take more runs out, and nobody waits for it meanwhile.
TEST_F(ConnectionPoolTest, ClientThatNeverReadsItsAnswerIsClosedAtItsLimit)
{
    Client& deaf = connect(Client::kTls);
    ASSERT_TRUE(run_until([&] { return deaf.handshake_done(); }));
    deaf.stop_reading();
    deaf.send("GET /login.html HTTP/1.1\r\nHost: 127.0.0.1:888\r\n\r\n");
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReady) == 1; }));
    EXPECT_EQ(pool_->serve_next(now_), 0);
    settle();
    ASSERT_EQ(pool_->count(), 1);
    ASSERT_EQ(pool_->at(0)->state(), HttpsConnection::kWriting);

    Client& other = connect(Client::kTls, "127.0.0.6");
    other.send(kGet);
    ASSERT_TRUE(run_until([&] { return count_in(HttpsConnection::kReady) == 1; }));
    EXPECT_EQ(pool_->serve_next(now_), 0);
    ASSERT_TRUE(run_until([&] { return other.answer().find("HTTP/1.1 200 OK") == 0; }));

    advance(HttpsConnection::kWriteWait - 1);
    EXPECT_EQ(count_in(HttpsConnection::kWriting), 1);
    advance(1);
    pool_->sweep();
    EXPECT_EQ(count_in(HttpsConnection::kWriting), 0);
    EXPECT_TRUE(deaf.server_closed());
}

}  // namespace
