"""Connections that wait while the daemon serves another one.

The daemon serves one connection at a time and keeps the others waiting;
whichever has sent its request first is served next. Two cases:

  kept    a client whose request arrived while another connection held the
          daemon for more than 10 seconds is still answered;
  order   with the waiting room full, a client whose request arrived while
          new connections queued up is answered at once, not after a silent
          newcomer has been waited for.

    waiting_room.py <port> kept|order
Prints what failed and exits 1, or exits 0.
"""
import socket
import ssl
import sys
import threading
import time

PORT = int(sys.argv[1])
CASE = sys.argv[2]
ROOM = 64

tls = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
tls.check_hostname = False
tls.verify_mode = ssl.CERT_NONE


def connect():
    s = socket.create_connection(("127.0.0.1", PORT), timeout=60)
    return s


def request(s, path):
    """TLS on the connected socket s, one GET; the status line and when it came."""
    try:
        t = tls.wrap_socket(s)
        t.sendall(("GET %s HTTP/1.1\r\nHost: x\r\n\r\n" % path).encode())
        answer = b""
        while b"\r\n" not in answer:
            piece = t.recv(4096)
            if not piece:
                break
            answer += piece
        t.close()
        return answer.split(b"\r\n")[0].decode(errors="replace"), time.monotonic()
    except OSError as e:
        return "error: %s" % e, time.monotonic()


def in_background(s, path, out):
    th = threading.Thread(target=lambda: out.append(request(s, path)))
    th.start()
    return th


failures = []

if CASE == "kept":
    waiting = connect()  # accepted, silent for now
    time.sleep(0.5)
    holder = tls.wrap_socket(connect())  # served: it sends no request and holds the daemon ~10 s
    time.sleep(1)
    got = []
    th = in_background(waiting, "/blank.html", got)
    th.join(40)
    holder.close()
    if not got or got[0][0] != "HTTP/1.1 200 OK":
        failures.append("request that came while another was served: %s" % (got[0][0] if got else "no answer"))

elif CASE == "order":
    silent = [connect() for _ in range(ROOM - 1)]
    waiting = connect()  # the last place of the full room
    time.sleep(0.5)
    holder = tls.wrap_socket(connect())  # taken from the room (whose oldest made way for it) and served
    got = []
    th = in_background(waiting, "/blank.html", got)
    time.sleep(0.5)
    newcomers = [connect(), connect()]  # queued while the holder is served; silent
    time.sleep(0.5)
    holder.sendall(b"GET /blank.html HTTP/1.1\r\nHost: x\r\n\r\n")
    holder_answer = holder.recv(4096)
    served = time.monotonic()
    th.join(40)
    if not holder_answer.startswith(b"HTTP/1.1 200 OK"):
        failures.append("holder: %r" % holder_answer[:40])
    if not got or got[0][0] != "HTTP/1.1 200 OK":
        failures.append("waiting client: %s" % (got[0][0] if got else "no answer"))
    elif got[0][1] - served > 3:
        failures.append("waiting client answered %.1f s after the holder" % (got[0][1] - served))
    for s in silent + newcomers + [holder]:
        s.close()

else:
    failures.append("no such case: %s" % CASE)

for f in failures:
    print("FAILED: " + f)
sys.exit(1 if failures else 0)
