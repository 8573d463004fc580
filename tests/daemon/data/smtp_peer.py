"""A real SMTP server for the mail sender's tests, on a loopback port of its own.

Prints the port it listens on, then serves until it is terminated. Every mail
received is written to OUT/mail-N.eml (the message as delivered) and
OUT/mail-N.env ("from <address>", "rcpt <address>" lines and "peer_port N");
every AUTH attempt adds "<mechanism> <login hex> <password hex> <ok|refused>"
to OUT/auth.log.
"""
import argparse
import asyncio
import os
import socket
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--cert")
    ap.add_argument("--key")
    ap.add_argument("--user", default="")
    ap.add_argument("--password", default="")
    ap.add_argument("--refuse", action="append", default=[])
    ap.add_argument("--exclude", action="append", default=[], help="an AUTH mechanism not offered")
    args = ap.parse_args()

    count = [0]

    def record_auth(mechanism, login, password, ok):
        with open(os.path.join(args.out, "auth.log"), "a") as f:
            f.write("%s %s %s %s\n" % (mechanism, login.hex(), password.hex(), "ok" if ok else "refused"))

    def authenticator(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = auth_data.login == args.user.encode() and auth_data.password == args.password.encode()
        record_auth(mechanism, auth_data.login, auth_data.password, ok)
        return AuthResult(success=ok, handled=False)

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if address in args.refuse:
                return "550 5.1.1 No such user"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            count[0] += 1
            base = os.path.join(args.out, "mail-%d" % count[0])
            with open(base + ".eml", "wb") as f:
                f.write(envelope.original_content)
            with open(base + ".env", "w") as f:
                f.write("from %s\n" % envelope.mail_from)
                for r in envelope.rcpt_tos:
                    f.write("rcpt %s\n" % r)
                f.write("peer_port %d\n" % session.peer[1])
            return "250 Message accepted for delivery"

    context = None
    if args.cert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)

    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(16)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)

    def factory():
        return SMTP(Handler(), hostname="peer.test", authenticator=authenticator,
                    auth_require_tls=False, auth_required=False,
                    auth_exclude_mechanism=args.exclude)

    server = loop.run_until_complete(loop.create_server(factory, sock=sock, ssl=context))
    print(sock.getsockname()[1], flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    main()
