#!/usr/bin/python3
"""A speech-dispatcher stand-in that records what its clients say.

Listens on a Unix socket (point SPEECHD_ADDRESS=unix_socket:PATH at it),
answers the SSIP commands a client sends as the real server would, speaks
nothing, and appends every text, character, key and stop to LOG as one JSON
line: {"t": seconds since the epoch, "client": the client's name, "kind":
"speak" | "char" | "key" | "icon" | "stop", "text": ...}. A client that asks
for notifications gets its message begun and ended at once.

  ssip-recorder.py SOCKET LOG [VOICE...]   (voices as NAME/LANGUAGE, default Russian/ru)
"""
import html
import json
import os
import re
import socket
import sys
import threading
import time

sock_path, log_path = sys.argv[1], sys.argv[2]
voices = [v.split("/", 1) for v in sys.argv[3:]] or [["Russian", "ru"]]
log_lock = threading.Lock()
ids = {"client": 0, "message": 0}


def plain(text):
    """The words of a text that may be SSML (Orca marks every word)."""
    if text.lstrip().startswith("<speak"):
        text = html.unescape(re.sub(r"<[^>]*>", "", text))
    return text


def record(client, kind, text):
    text = plain(text)
    line = json.dumps({"t": time.time(), "client": client, "kind": kind, "text": text}, ensure_ascii=False)
    with log_lock, open(log_path, "a", encoding="utf-8") as f:
        f.write(line + "\n")


def next_id(what):
    with log_lock:
        ids[what] += 1
        return ids[what]


class Client(threading.Thread):
    def __init__(self, conn):
        super().__init__(daemon=True)
        self.conn = conn
        self.name = "unnamed"
        self.id = next_id("client")
        self.events = set()
        self.buf = b""

    def send(self, *lines):
        self.conn.sendall("".join(l + "\r\n" for l in lines).encode("utf-8"))

    def reply(self, code, text, data=()):
        self.send(*[f"{code}-{d}" for d in data], f"{code} {text}")

    def readline(self):
        while b"\r\n" not in self.buf:
            chunk = self.conn.recv(65536)
            if not chunk:
                return None
            self.buf += chunk
        line, self.buf = self.buf.split(b"\r\n", 1)
        return line.decode("utf-8", "replace")

    def queued(self, kind, text):
        record(self.name, kind, text)
        mid = next_id("message")
        self.reply(225, "OK MESSAGE QUEUED", [str(mid)])
        # Spoken at once: begun and ended.
        if "begin" in self.events:
            self.send(f"701-{mid}", f"701-{self.id}", "701 BEGIN")
        if "end" in self.events:
            self.send(f"702-{mid}", f"702-{self.id}", "702 END")

    def run(self):
        try:
            self.serve()
        except OSError:
            pass
        finally:
            self.conn.close()

    def serve(self):
        while True:
            line = self.readline()
            if line is None:
                return
            words = line.split(" ")
            cmd = words[0].upper()
            args = [w.upper() for w in words[1:]]
            if cmd == "SPEAK":
                self.reply(230, "OK RECEIVING DATA")
                text = []
                while True:
                    l = self.readline()
                    if l is None:
                        return
                    if l == ".":
                        break
                    text.append(l[1:] if l.startswith("..") else l)
                self.queued("speak", "\n".join(text))
            elif cmd == "CHAR":
                self.queued("char", line.split(" ", 1)[1] if " " in line else "")
            elif cmd == "KEY":
                self.queued("key", line.split(" ", 1)[1] if " " in line else "")
            elif cmd == "SOUND_ICON":
                self.queued("icon", line.split(" ", 1)[1] if " " in line else "")
            elif cmd in ("CANCEL", "STOP"):
                record(self.name, "stop", line)
                self.reply(210, "OK STOPPED")
            elif cmd == "SET" and len(args) >= 2 and args[1] == "CLIENT_NAME":
                self.name = words[3] if len(words) > 3 else ""
                record(self.name, "client", self.name)
                self.reply(208, "OK CLIENT NAME SET")
            elif cmd == "SET" and len(args) >= 3 and args[1] == "NOTIFICATION":
                kind = args[2].lower()
                kinds = ["begin", "end", "cancel", "pause", "resume", "index_marks"] if kind == "all" else [kind]
                for k in kinds:
                    (self.events.add if args[3] == "ON" else self.events.discard)(k)
                self.reply(218, "OK NOTIFICATION SET")
            elif cmd == "SET":
                self.reply(200, "OK SET")
            elif cmd == "HISTORY" and args[:2] == ["GET", "CLIENT_ID"]:
                self.reply(245, "OK CLIENT ID SENT", [str(self.id)])
            elif cmd == "LIST" and args and args[0] == "SYNTHESIS_VOICES":
                self.reply(249, "OK VOICE LIST SENT", [f"{n}\t{lang}\tnone" for n, lang in voices])
            elif cmd == "LIST" and args and args[0] == "OUTPUT_MODULES":
                self.reply(250, "OK MODULE LIST SENT", ["espeak-ng"])
            elif cmd == "LIST" and args and args[0] == "VOICES":
                self.reply(249, "OK VOICE LIST SENT", ["MALE1", "FEMALE1"])
            elif cmd == "GET" and args and args[0] == "OUTPUT_MODULE":
                self.reply(251, "OK GET RETURNED", ["espeak-ng"])
            elif cmd == "GET":
                self.reply(251, "OK GET RETURNED", ["0"])
            elif cmd == "BLOCK":
                self.reply(260 if args[:1] == ["BEGIN"] else 261, "OK BLOCK")
            elif cmd == "QUIT":
                self.reply(231, "HAPPY HACKING")
                return
            else:
                self.reply(200, "OK")


def main():
    try:
        os.unlink(sock_path)
    except FileNotFoundError:
        pass
    server = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    server.bind(sock_path)
    server.listen(16)
    open(log_path, "a").close()
    while True:
        conn, _ = server.accept()
        Client(conn).start()


if __name__ == "__main__":
    main()
