#!/usr/bin/python3
"""Reads one saved message (.eml) with Python's own mail parser and prints what
a mail program would show, as JSON: an oracle for the game's message builder
that shares none of its code."""
import email
import email.policy
import json
import sys


def main():
    raw = open(sys.argv[1], "rb").read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    head, _, body = raw.partition(b"\r\n\r\n")
    sender = msg["From"].addresses[0] if msg["From"] else None
    payload = msg.get_payload(decode=True) or b""
    out = {
        "envelope_to": msg.get_all("X-Envelope-To") or [],
        "from_name": sender.display_name if sender else None,
        "from_address": sender.addr_spec if sender else None,
        "to": str(msg["To"]) if msg["To"] else None,
        "subject": str(msg["Subject"]) if msg["Subject"] else None,
        "date": str(msg["Date"]) if msg["Date"] else None,
        "date_parses": msg["Date"].datetime is not None if msg["Date"] else False,
        "message_id": str(msg["Message-ID"]) if msg["Message-ID"] else None,
        "mime_version": str(msg["MIME-Version"]) if msg["MIME-Version"] else None,
        "content_type": msg.get_content_type(),
        "charset": msg.get_content_charset(),
        "transfer_encoding": str(msg["Content-Transfer-Encoding"]) if msg["Content-Transfer-Encoding"] else None,
        "body": payload.decode(msg.get_content_charset() or "ascii"),
        "defects": [type(d).__name__ for d in msg.defects],
        # line ends and lengths as they travelled
        "bare_lf": b"\n" in raw.replace(b"\r\n", b""),
        "longest_header_line": max((len(l) for l in head.split(b"\r\n")), default=0),
    }
    json.dump(out, sys.stdout, ensure_ascii=False)


if __name__ == "__main__":
    main()
