#!/usr/bin/python3
"""A local mail server for play and tests: SMTP on 127.0.0.1 with AUTH LOGIN
(and PLAIN) for the game's mail account, no TLS. --auth names the mechanisms it
offers (for a server that lacks LOGIN); --auth-log records each login's
mechanism and outcome, one line each. Every message it accepts is saved as a
.eml file in the mail folder, so that a restore code can be read there.

Run with Debian's /usr/bin/python3 (python3-aiosmtpd).
"""
import argparse
import itertools
import os
import signal
import sys
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class SaveToFolder:
    def __init__(self, folder):
        self.folder = folder
        self.counter = itertools.count(1)

    async def handle_DATA(self, server, session, envelope):
        stamp = time.strftime("%Y%m%d-%H%M%S")
        name = f"{stamp}-{os.getpid()}-{next(self.counter):04d}.eml"
        tmp = os.path.join(self.folder, "." + name)
        with open(tmp, "wb") as f:
            f.write(f"X-Envelope-From: {envelope.mail_from}\r\n".encode())
            for rcpt in envelope.rcpt_tos:
                f.write(f"X-Envelope-To: {rcpt}\r\n".encode())
            f.write(envelope.original_content or envelope.content)
        os.replace(tmp, os.path.join(self.folder, name))  # readers never see half a message
        print(f"saved {name}", flush=True)
        return "250 Message accepted"


class Authenticator:
    def __init__(self, user, password, log_path=None):
        self.user = user.encode()
        self.password = password.encode()
        self.log_path = log_path

    def __call__(self, server, session, envelope, mechanism, auth_data):
        ok = (
            isinstance(auth_data, LoginPassword)
            and auth_data.login == self.user
            and auth_data.password == self.password
        )
        if self.log_path:
            with open(self.log_path, "a") as f:
                f.write(f"{mechanism} {'ok' if ok else 'refused'}\n")
        return AuthResult(success=ok, handled=False)


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--port", type=int, default=2500)
    ap.add_argument("--mail-dir", required=True)
    ap.add_argument("--user", required=True)
    ap.add_argument("--password", required=True)
    ap.add_argument("--auth", default="LOGIN,PLAIN",
                    help="the AUTH mechanisms offered, comma-separated (of LOGIN, PLAIN)")
    ap.add_argument("--auth-log")
    args = ap.parse_args()
    offered = {m.strip().upper() for m in args.auth.split(",") if m.strip()}
    unknown = offered - {"LOGIN", "PLAIN"}
    if unknown or not offered:
        ap.error(f"--auth: unknown mechanisms {sorted(unknown)}" if unknown else "--auth: none given")
    os.makedirs(args.mail_dir, exist_ok=True)

    controller = Controller(
        SaveToFolder(args.mail_dir),
        hostname="127.0.0.1",
        port=args.port,
        authenticator=Authenticator(args.user, args.password, args.auth_log),
        auth_exclude_mechanism=[m for m in ("LOGIN", "PLAIN") if m not in offered],
        auth_require_tls=False,
        auth_required=True,
        decode_data=False,
    )
    controller.start()
    print(f"listening on 127.0.0.1:{args.port}", flush=True)

    done = threading.Event()
    signal.signal(signal.SIGTERM, lambda *_: done.set())
    signal.signal(signal.SIGINT, lambda *_: done.set())
    done.wait()
    controller.stop()
    return 0


if __name__ == "__main__":
    sys.exit(main())
