// Benchmark client, run by bench/handshakes.sh: each of N threads makes one
// full TLS handshake per request (no session is ever resumed), sends one GET
// and reads the answer to its end, for a number of seconds. Prints the
// answered requests per second and the failures. The TLS version is 1.2
// unless the last argument says 1.3.
//
//   handshake_client <port> <path> <clients> <seconds> [1.2|1.3]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Counts {
    std::atomic<long> answered{0};
    std::atomic<long> failed{0};
};

int connect_to(int port)
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in a;
    std::memset(&a, 0, sizeof a);
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// One request over a new connection: true when "200 OK" came and the answer
// ended with the connection.
bool one_request(SSL_CTX* ctx, int port, const std::string& request)
{
    int fd = connect_to(port);
    if (fd < 0)
        return false;
    SSL* ssl = SSL_new(ctx);
    bool ok = ssl != nullptr && SSL_set_fd(ssl, fd) == 1 && SSL_connect(ssl) == 1 &&
              SSL_write(ssl, request.data(), static_cast<int>(request.size())) == static_cast<int>(request.size());
    std::string answer;
    char buf[16384];
    while (ok) {
        int n = SSL_read(ssl, buf, sizeof buf);
        if (n <= 0)
            break;
        answer.append(buf, static_cast<size_t>(n));
    }
    ok = ok && answer.compare(0, 15, "HTTP/1.1 200 OK") == 0;
    if (ssl != nullptr)
        SSL_free(ssl);
    close(fd);
    ERR_clear_error();
    return ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6) {
        std::fprintf(stderr, "usage: %s <port> <path> <clients> <seconds> [1.2|1.3]\n", argv[0]);
        return 2;
    }
    int version = TLS1_2_VERSION;
    if (argc == 6 && std::strcmp(argv[5], "1.3") == 0) {
        version = TLS1_3_VERSION;
    } else if (argc == 6 && std::strcmp(argv[5], "1.2") != 0) {
        std::fprintf(stderr, "TLS version 1.2 or 1.3, not %s\n", argv[5]);
        return 2;
    }
    int port = std::atoi(argv[1]);
    std::string request = std::string("GET ") + argv[2] + " HTTP/1.1\r\nHost: 127.0.0.1:" + argv[1] +
                          "\r\nConnection: close\r\n\r\n";
    int clients = std::atoi(argv[3]);
    double seconds = std::atof(argv[4]);

    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    if (ctx == nullptr)
        return 1;
    // Every handshake is a full one: no session is kept or offered.
    SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
    SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET);
    SSL_CTX_set_verify(ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_min_proto_version(ctx, version);
    SSL_CTX_set_max_proto_version(ctx, version);

    Counts counts;
    auto start = std::chrono::steady_clock::now();
    auto end = start + std::chrono::duration<double>(seconds);
    std::vector<std::thread> threads;
    for (int i = 0; i < clients; i++) {
        threads.emplace_back([&] {
            while (std::chrono::steady_clock::now() < end) {
                if (one_request(ctx, port, request))
                    counts.answered++;
                else
                    counts.failed++;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%.1f %ld\n", static_cast<double>(counts.answered.load()) / took, counts.failed.load());
    SSL_CTX_free(ctx);
    return 0;
}
