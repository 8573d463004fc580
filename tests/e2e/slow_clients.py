"""Slow, silent and cut-short clients against the daemon on 127.0.0.1:888.

The TLS client here runs over memory BIOs, so the test decides every byte
that goes out and when: a handshake can stop half-way, a greeting can drip,
a request can end early or the connection be half-closed.

    slow_clients.py crowd      slow clients of every kind held open while a
                               login page and a login are served at once;
                               each slow client is closed at its deadline
    slow_clients.py caps       an address holds more than its share while
                               the pool has room; a full pool makes room
                               with the stalest connection of the most
                               crowded address
    slow_clients.py cut <how>  an administrator login whose body stops short
                               (how: close, halfclose, stall); prints the
                               answer's status line or "none"
    slow_clients.py drip <first address> <answer>
                               20 logins announcing 8 MB from five addresses
                               from the given one on, dripping their bodies,
                               while ten logins in a row are served at once;
                               each dripping login gets the answer's status
                               line at once, or "none" (not answered)
    slow_clients.py flood      clients of eight addresses that connect, start
                               a greeting and reconnect without end, while 48
                               requests from another address are each
                               answered
    slow_clients.py stalled <address> [clients]
                               16 (or so many) clients of the address stall in their
                               handshake and reconnect whenever closed,
                               while an administrator of 127.0.0.1 logs in
                               and loads pages: 72 requests, each answered
    slow_clients.py descriptors
                               (the daemon out of descriptors) an open
                               connection is still served, and a new one
                               once some of the others close

Prints what failed and exits 1, or exits 0.
"""
import multiprocessing
import socket
import ssl
import sys
import threading
import time

PORT = 888
HOST = "127.0.0.1:%d" % PORT
LOGIN_BODY = b"whopwd=a&thepwd=pyv2"
# The administrator's login cookie of the default password: an upload's body
# is read only with it.
ADMIN_COOKIE = b"WOXUSER=mJmyR92BjuCos"

CTX = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
CTX.check_hostname = False
CTX.verify_mode = ssl.CERT_NONE

failures = []


def fail(text):
    failures.append(text)


class Tls:
    """One connection from the given source address."""

    def __init__(self, source="127.0.0.1"):
        self.sock = socket.create_connection(("127.0.0.1", PORT), timeout=60, source_address=(source, 0))
        self.inc, self.out = ssl.MemoryBIO(), ssl.MemoryBIO()
        self.tls = CTX.wrap_bio(self.inc, self.out, server_side=False)

    def flush(self):
        data = self.out.read()
        if data:
            self.sock.sendall(data)

    def client_hello(self):
        """The first handshake bytes, not sent."""
        try:
            self.tls.do_handshake()
        except ssl.SSLWantReadError:
            pass
        return self.out.read()

    def handshake(self):
        while True:
            try:
                self.tls.do_handshake()
                self.flush()
                return
            except ssl.SSLWantReadError:
                self.flush()
                data = self.sock.recv(65536)
                if not data:
                    raise ConnectionError("closed during the handshake")
                self.inc.write(data)

    def send(self, data):
        self.tls.write(data)
        self.flush()

    def receive(self):
        """Waits for what the server sends next (up to the socket's time-out,
        socket.timeout then); its plaintext, and whether the server closed."""
        got = b""
        while True:
            try:
                piece = self.tls.read(65536)
                if not piece:
                    return got, True  # the server's TLS goodbye
                got += piece
                continue
            except ssl.SSLWantReadError:
                pass
            except (ssl.SSLZeroReturnError, ssl.SSLEOFError, ssl.SSLError):
                return got, True
            if got:
                return got, False
            try:
                data = self.sock.recv(65536)
            except socket.timeout:
                raise
            except OSError:
                data = b""
            if not data:
                return got, True
            self.inc.write(data)

    def answer(self):
        """Everything that comes until the server closes, and when it closed."""
        got = b""
        while True:
            piece, ended = self.receive()
            got += piece
            if ended:
                return got, time.monotonic()

    def close(self):
        self.sock.close()


def closed_at(sock):
    """Reads and drops what comes until the server closes; when it closed."""
    while True:
        try:
            data = sock.recv(65536)
        except OSError:
            data = b""
        if not data:
            return time.monotonic()


def is_open(sock):
    """Whether the server still holds the connection: what it sent is read
    and dropped, and no end follows."""
    sock.setblocking(False)
    try:
        while sock.recv(65536):
            pass
        return False
    except BlockingIOError:
        return True
    except OSError:
        return False
    finally:
        sock.setblocking(True)


def status_of(answer):
    return answer.split(b"\r\n")[0].decode(errors="replace") if answer else "none"


def request(method, path, body=b"", source="127.0.0.1", headers=""):
    """One request; its answer and how long it took from connecting."""
    started = time.monotonic()
    c = Tls(source)
    c.handshake()
    head = "%s %s HTTP/1.1\r\nHost: %s\r\n%s" % (method, path, HOST, headers)
    if method == "POST":
        head += "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: %d\r\n" % len(body)
    c.send(head.encode() + b"\r\n" + body)
    answer, ended = c.answer()
    c.close()
    return answer, ended - started


# Slow clients of three kinds, from addresses of their own (each address
# stays below its cap), and when each must be closed, counted from its first
# byte: half-done handshakes and greetings that drip a byte a second at the
# handshake deadline, uploads that drip their body at the upload deadline.
HANDSHAKE_DEADLINE = 10.0
UPLOAD_DEADLINE = 30.0


def half_done_handshake(source, out):
    c = Tls(source)
    hello = c.client_hello()
    c.sock.sendall(hello)
    sent = time.monotonic()
    out.append(("half-done handshake from %s" % source, closed_at(c.sock) - sent, HANDSHAKE_DEADLINE, None))
    c.close()


def dripping_greeting(source, out):
    c = Tls(source)
    hello = c.client_hello()
    first = None
    for byte in hello:
        try:
            c.sock.sendall(bytes([byte]))
        except OSError:
            break
        if first is None:
            first = time.monotonic()
        c.sock.settimeout(1.0)
        try:
            if c.sock.recv(65536) == b"":
                break
        except socket.timeout:
            continue
        except OSError:
            break
    ended = time.monotonic()
    out.append(("dripping greeting from %s" % source, ended - first, HANDSHAKE_DEADLINE, None))
    c.close()


def slow_upload(source, out):
    c = Tls(source)
    c.handshake()
    c.send(b"POST /fwcheck.html?c=0 HTTP/1.1\r\nHost: " + HOST.encode() + b"\r\nCookie: " + ADMIN_COOKIE +
           b"\r\nContent-Type: multipart/form-data; boundary=b\r\nContent-Length: 100000\r\n\r\n--b\r\n")
    first = time.monotonic()
    c.sock.settimeout(1.0)
    answer = b""
    while True:
        try:
            piece, ended = c.receive()
        except socket.timeout:
            try:
                c.send(b"x" * 10)  # ten bytes of the body each second
            except (OSError, ssl.SSLError):
                break
            continue
        answer += piece
        if ended:
            break
    out.append(("slow upload from %s" % source, time.monotonic() - first, UPLOAD_DEADLINE, status_of(answer)))
    c.close()


def crowd():
    out = []
    threads = []
    kinds = [(half_done_handshake, ["127.0.0.11", "127.0.0.12"], 10),
             (dripping_greeting, ["127.0.0.13", "127.0.0.14"], 10),
             (slow_upload, ["127.0.0.15"], 3)]
    for kind, sources, each in kinds:
        for source in sources:
            for _ in range(each):
                t = threading.Thread(target=kind, args=(source, out))
                t.start()
                threads.append(t)
    time.sleep(2)
    for round in range(2):
        page, took = request("GET", "/login.html")
        if status_of(page) != "HTTP/1.1 200 OK" or b'action="/login.html"' not in page:
            fail("login page beside the slow clients: %s" % status_of(page))
        if took > 1.0:
            fail("login page took %.2f s beside the slow clients" % took)
        login, took = request("POST", "/login.html", LOGIN_BODY)
        if b"Set-Cookie: WOXUSER=" not in login or b"Administrator now logged in" not in login:
            fail("login beside the slow clients: %s" % status_of(login))
        if took > 1.0:
            fail("login took %.2f s beside the slow clients" % took)
        time.sleep(4)
    for t in threads:
        t.join(60)
    if len(out) != 43:
        fail("%d of 43 slow clients ended" % len(out))
    for what, lasted, deadline, status in out:
        if not deadline - 0.5 <= lasted <= deadline + 2.5:
            fail("%s closed after %.1f s, its deadline is %.0f s" % (what, lasted, deadline))
        if status is not None and status != "HTTP/1.1 404 Not-Found":
            fail("%s answered %s" % (what, status))


def caps():
    # One address holds more than its share (16) while the pool has room:
    # a stalled handshake and twenty silent connections stay open.
    busy = Tls("127.0.0.21")
    busy.sock.sendall(busy.client_hello())
    time.sleep(0.3)
    silent = []
    for _ in range(20):
        silent.append(socket.create_connection(("127.0.0.1", PORT), source_address=("127.0.0.21", 0)))
        time.sleep(0.05)
    time.sleep(0.5)
    if not all(is_open(s) for s in silent) or not is_open(busy.sock):
        fail("an address over its share was cut while the pool had room")

    # Fill the pool from other addresses, each below the crowded one.
    room = 64
    others = []
    source = 22
    while 1 + len(silent) + len(others) < room:
        for _ in range(min(15, room - 1 - len(silent) - len(others))):
            others.append(socket.create_connection(("127.0.0.1", PORT), source_address=("127.0.0.%d" % source, 0)))
        source += 1
    time.sleep(0.5)
    if not all(is_open(s) for s in silent + others) or not is_open(busy.sock):
        fail("a connection closed before the pool was full")

    # Newcomers of other addresses make room with the most crowded address's
    # stalest connection: the handshake stalled before the silent ones came,
    # then the oldest silent one.
    extra = [socket.create_connection(("127.0.0.1", PORT), source_address=("127.0.0.99", 0))]
    time.sleep(0.5)
    if is_open(busy.sock) or not all(is_open(s) for s in silent + others + extra):
        fail("the stalled handshake of the most crowded address did not make room first")
    extra.append(socket.create_connection(("127.0.0.1", PORT), source_address=("127.0.0.22", 0)))
    time.sleep(0.5)
    if is_open(silent[0]) or not all(is_open(s) for s in silent[1:] + others + extra):
        fail("the oldest silent connection of the most crowded address did not make room next")

    # Served at once beside a full pool: the newcomer makes room.
    page, took = request("GET", "/login.html")
    if status_of(page) != "HTTP/1.1 200 OK" or took > 1.0:
        fail("login page beside a full pool: %s after %.2f s" % (status_of(page), took))
    for s in silent + others + extra + [busy.sock]:
        s.close()


def cut(how):
    c = Tls()
    c.handshake()
    c.send(b"POST /login.html HTTP/1.1\r\nHost: " + HOST.encode() +
           b"\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 50\r\n\r\n" + LOGIN_BODY)
    if how == "close":
        c.close()
        time.sleep(0.5)
        print("none")
        return
    if how == "halfclose":
        c.sock.shutdown(socket.SHUT_WR)
    answer, _ = c.answer()
    c.close()
    print(status_of(answer) + (" Set-Cookie" if b"Set-Cookie" in answer else ""))


def dripping_login(source, stop, out):
    """A login announcing the largest body, dripping a byte every 2 seconds
    until stop is set or the server answers; the answer's status line and
    how long it took from the headers."""
    try:
        c = Tls(source)
        c.handshake()
        c.send(b"POST /login.html HTTP/1.1\r\nHost: " + HOST.encode() +
               b"\r\nContent-Type: application/x-www-form-urlencoded\r\nContent-Length: 8388608\r\n\r\nw")
        sent = time.monotonic()
        c.sock.settimeout(2.0)
        answer = b""
        while not stop.is_set():
            try:
                piece, ended = c.receive()
            except socket.timeout:
                c.send(b"x")
                continue
            answer += piece
            if ended or b"\r\n\r\n" in answer:
                break
        out.append((status_of(answer), time.monotonic() - sent))
        c.close()
    except (OSError, ssl.SSLError, ConnectionError) as e:
        out.append(("error: %s" % e, 0))


def ten_logins(what):
    """Ten administrator logins in a row, each answered within a second."""
    for n in range(10):
        login, took = request("POST", "/login.html", LOGIN_BODY)
        if b"Administrator now logged in" not in login:
            fail("login %d %s: %s" % (n + 1, what, status_of(login)))
        elif took > 1.0:
            fail("login %d %s took %.2f s" % (n + 1, what, took))


def drip(first, expected):
    """Twenty logins announcing 8 MB from five addresses drip their bodies;
    logins of another address are served at once all the while."""
    base, last = first.rsplit(".", 1)
    stop = threading.Event()
    out = []
    threads = []
    for k in range(20):
        source = "%s.%d" % (base, int(last) + k % 5)
        t = threading.Thread(target=dripping_login, args=(source, stop, out))
        t.start()
        threads.append(t)
    time.sleep(1.5)
    ten_logins("beside 20 dripping logins")
    stop.set()
    for t in threads:
        t.join(30)
    if len(out) != 20:
        fail("%d of 20 dripping logins ended" % len(out))
    for status, took in out:
        if status != expected:
            fail("dripping login: %s, not %s" % (status, expected))
        elif expected != "none" and took > 3.0:
            fail("dripping login answered after %.2f s" % took)


def flooder(source, stop, counts):
    """Connects, sends half a greeting (its handshake under way, costing the
    server no work yet) and reconnects until stop is set."""
    while not stop.is_set():
        try:
            c = Tls(source)
            hello = c.client_hello()
            c.sock.sendall(hello[:len(hello) // 2])
            counts[source] = counts.get(source, 0) + 1
            time.sleep(0.5)
            c.close()
        except OSError:
            time.sleep(0.05)


def flood():
    """Eight addresses keep the waiting room full of greeting newcomers; 48
    requests of another address, each on a fresh connection, are all
    answered."""
    stop = threading.Event()
    counts = {}
    threads = []
    for a in range(8):
        for _ in range(10):
            t = threading.Thread(target=flooder, args=("127.0.0.%d" % (41 + a), stop, counts))
            t.start()
            threads.append(t)
    time.sleep(1)
    answered = 0
    for n in range(48):
        try:
            page, took = request("GET", "/blank.html")
        except (OSError, ssl.SSLError, ConnectionError) as e:
            page, took = b"", 0
            fail("request %d beside the flood: %s" % (n + 1, e))
        if status_of(page) == "HTTP/1.1 200 OK":
            answered += 1
        time.sleep(0.05)
    stop.set()
    for t in threads:
        t.join(30)
    if answered != 48:
        fail("%d of 48 requests beside the flood answered" % answered)
    if sum(counts.values()) < 200:
        fail("the flood made only %d connections" % sum(counts.values()))


# How long a staller waits after the server closed it before it connects
# again. Without a pause the stallers turn the whole room over in about
# 45 ms here, and no choice by staleness can then tell a client that takes
# longer over its next handshake step (a busy test machine) from one that
# stalls: the pause keeps the room full all the same.
RECONNECT_PAUSE = 0.05


def staller(source, stop, counts):
    """Sends a whole greeting, then nothing more: the handshake stalls
    until the server closes the connection; then again, until stop is set."""
    while not stop.is_set():
        try:
            c = Tls(source)
            c.sock.sendall(c.client_hello())
            with counts.get_lock():
                counts.value += 1
            c.sock.settimeout(0.2)
            while not stop.is_set():
                try:
                    if c.sock.recv(65536) == b"":
                        break
                except socket.timeout:
                    continue
            c.close()
            time.sleep(RECONNECT_PAUSE)
        except OSError:
            time.sleep(0.05)


def stallers(source, clients, stop, counts):
    """The stalling clients, each on a thread of this process."""
    threads = [threading.Thread(target=staller, args=(source, stop, counts)) for _ in range(clients)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()


def stalled(source, clients=16):
    """Stalled handshakes of one address (sixteen, or more to fill the
    daemon's room for unfinished connections), reconnecting when closed;
    an administrator of 127.0.0.1 logs in and loads pages, 72 requests in
    all, every one answered. The stallers run in a process of their own, as
    another program would: on threads of this one they would hold the
    administrator's replies back behind the interpreter's lock."""
    stop = multiprocessing.Event()
    counts = multiprocessing.Value("i", 0)
    attack = multiprocessing.Process(target=stallers, args=(source, clients, stop, counts))
    attack.start()
    time.sleep(1)
    cookie = "Cookie: " + ADMIN_COOKIE.decode() + "\r\n"
    steps = [("POST", "/login.html", LOGIN_BODY, "", b"Administrator now logged in"),
             ("GET", "/page0.html?c=0", b"", cookie, b"goto_controller("),
             ("GET", "/page2_2.html?c=1", b"", cookie, b"Unit Maintenance")]
    answered = 0
    for n in range(24):
        for method, path, body, headers, text in steps:
            try:
                page, took = request(method, path, body, headers=headers)
            except (OSError, ssl.SSLError, ConnectionError) as e:
                page = b""
            if status_of(page) == "HTTP/1.1 200 OK" and text in page:
                answered += 1
    stop.set()
    attack.join(30)
    if attack.is_alive():
        attack.kill()
    if answered != 72:
        fail("%d of 72 requests beside %d stalled handshakes of %s answered" % (answered, clients, source))
    if counts.value < clients:
        fail("only %d stalled handshakes of %s were made" % (counts.value, source))


def descriptors():
    """The daemon has few descriptors: an open connection is served while it
    has none left, and a new one once some connections close."""
    held = Tls()
    held.handshake()
    silent = []
    for n in range(60):
        source = "127.0.0.%d" % (61 + n // 15)  # below the cap of an address
        silent.append(socket.create_connection(("127.0.0.1", PORT), source_address=(source, 0)))
    time.sleep(0.5)
    started = time.monotonic()
    held.send(b"GET /blank.html HTTP/1.1\r\nHost: " + HOST.encode() + b"\r\n\r\n")
    answer, ended = held.answer()
    if status_of(answer) != "HTTP/1.1 200 OK" or ended - started > 1.0:
        fail("open connection without descriptors left: %s after %.2f s" % (status_of(answer), ended - started))
    for s in silent:
        s.close()
    page, took = request("GET", "/blank.html")
    if status_of(page) != "HTTP/1.1 200 OK" or took > 3.0:
        fail("new connection after others closed: %s after %.2f s" % (status_of(page), took))


if __name__ == "__main__":
    case = sys.argv[1]
    if case == "crowd":
        crowd()
    elif case == "caps":
        caps()
    elif case == "cut":
        cut(sys.argv[2])
    elif case == "drip":
        drip(sys.argv[2], sys.argv[3])
    elif case == "flood":
        flood()
    elif case == "stalled":
        stalled(sys.argv[2], int(sys.argv[3]) if len(sys.argv) > 3 else 16)
    elif case == "descriptors":
        descriptors()
    else:
        fail("no such case: %s" % case)
    for f in failures:
        print("FAILED: " + f)
    sys.exit(1 if failures else 0)
