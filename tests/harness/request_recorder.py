#!/usr/bin/env python3
"""A loopback HTTP proxy that refuses every request and logs where it was
going: every Wine prefix of the tests sends its WinINet traffic here unless a
test routes it elsewhere, so that no test reaches the internet and any
attempt shows.

    request_recorder.py <folder>

Listens on a free loopback port and writes it to <folder>/port. Each request
(a CONNECT tunnel or a plain request) is answered "403 Forbidden", the
connection is closed, and one line "<method> <target>" is appended to
<folder>/requests.log. Runs until killed.
"""
import os
import socket
import sys
import threading

REFUSAL = b"HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\nConnection: close\r\n\r\n"


def request_line(connection):
    data = b""
    while b"\r\n" not in data and len(data) < 8192:
        chunk = connection.recv(1024)
        if not chunk:
            break
        data += chunk
    return data.split(b"\r\n", 1)[0].decode("latin-1")


def handle(connection, log, lock):
    try:
        connection.settimeout(30)
        line = request_line(connection)
        if line:
            method, _, rest = line.partition(" ")
            target = rest.rsplit(" ", 1)[0] if " " in rest else rest
            with lock, open(log, "a", encoding="utf-8", errors="replace") as out:
                out.write("%s %s\n" % (method, target))
            connection.sendall(REFUSAL)
    except OSError:
        pass
    finally:
        connection.close()


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    log = os.path.join(folder, "requests.log")
    open(log, "w").close()
    lock = threading.Lock()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    port_file = os.path.join(folder, "port")
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % listener.getsockname()[1])
    os.replace(port_file + ".tmp", port_file)
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=handle, args=(connection, log, lock), daemon=True).start()


if __name__ == "__main__":
    main()
