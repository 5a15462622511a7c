#!/usr/bin/env python3
"""A loopback HTTP proxy that terminates the HTTPS it tunnels and records
every request, for tests that capture what a program sends.

    hit_capture_server.py <folder> [host...]

Makes a test root certificate (<folder>/root.der, root.pem) and a server
certificate for the hosts (default: www.google-analytics.com, localhost)
signed by it, listens on a free loopback port and writes it to <folder>/port.
A second port, in <folder>/wrong_name_port, presents a certificate that the
same root issued for another name (another-name.invalid) instead.
Each request, tunnelled (CONNECT, then TLS) or plain, is answered with
"204 No Content" and appended to <folder>/requests.log:

    REQUEST <n>
    TUNNEL <host:port, or - for a plain request>
    CERTIFICATE <the name the presented certificate is for, or - for none>
    LINE <request line>
    HEADER <name>: <value>     (one per header, in order)
    BODY <body as hex>
    END

A tunnel whose client sends no request over TLS (it refused the certificate,
or the handshake failed) is appended as

    HANDSHAKE <n>
    TUNNEL <host:port>
    CERTIFICATE <name>
    REFUSED <what happened>
    END

A record is complete only once its END line is there. Runs until killed.
"""
import os
import socket
import ssl
import subprocess
import sys
import tempfile
import threading

DEFAULT_HOSTS = ["www.google-analytics.com", "localhost"]
WRONG_NAME = "another-name.invalid"


def run_openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_root(folder):
    root_key = os.path.join(folder, "root.key")
    root_pem = os.path.join(folder, "root.pem")
    run_openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-sha256",
                "-subj", "/CN=Sorvane Test Capture Root", "-keyout", root_key, "-out", root_pem,
                "-addext", "basicConstraints=critical,CA:TRUE",
                "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    run_openssl("x509", "-in", root_pem, "-outform", "DER", "-out", os.path.join(folder, "root.der"))
    return root_pem, root_key


def make_server_certificate(folder, stem, hosts, root):
    """A server certificate for the hosts, issued by the root: (pem, key)."""
    root_pem, root_key = root
    server_key = os.path.join(folder, stem + ".key")
    server_csr = os.path.join(folder, stem + ".csr")
    server_pem = os.path.join(folder, stem + ".pem")
    run_openssl("req", "-newkey", "rsa:2048", "-nodes", "-sha256", "-subj", "/CN=" + hosts[0],
                "-keyout", server_key, "-out", server_csr)
    names = ",".join(("IP:" if h.replace(".", "").isdigit() else "DNS:") + h for h in hosts)
    with tempfile.NamedTemporaryFile("w", suffix=".ext", dir=folder, delete=False) as ext:
        ext.write("subjectAltName=" + names + "\n")
        ext.write("basicConstraints=critical,CA:FALSE\n")
        ext.write("keyUsage=critical,digitalSignature,keyEncipherment\n")
        ext.write("extendedKeyUsage=serverAuth\n")
    run_openssl("x509", "-req", "-in", server_csr, "-CA", root_pem, "-CAkey", root_key, "-CAcreateserial",
                "-days", "2", "-sha256", "-extfile", ext.name, "-out", server_pem)
    return server_pem, server_key


class Recorder:
    def __init__(self, path):
        self.path = path
        self.lock = threading.Lock()
        self.count = 0
        open(path, "w").close()

    def record(self, tunnel, certificate, line, headers, body):
        lines = ["LINE " + line]
        lines += ["HEADER %s: %s" % (name, value) for name, value in headers]
        lines += ["BODY " + body.hex()]
        self.append("REQUEST", tunnel, certificate, lines)

    def refused(self, tunnel, certificate, what):
        self.append("HANDSHAKE", tunnel, certificate, ["REFUSED " + what])

    def append(self, kind, tunnel, certificate, lines):
        with self.lock:
            self.count += 1
            lines = ["%s %d" % (kind, self.count), "TUNNEL " + (tunnel or "-"), "CERTIFICATE " + (certificate or "-")] \
                + lines + ["END"]
            with open(self.path, "a", encoding="utf-8", errors="replace") as log:
                log.write("\n".join(lines) + "\n")
                log.flush()


def read_head(stream):
    """The request line and headers, or None at the end of the stream."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = stream.recv(1)
        if not chunk:
            return None
        data += chunk
        if len(data) > 65536:
            return None
    text = data.decode("latin-1")
    lines = text.split("\r\n")
    headers = []
    for line in lines[1:]:
        if line:
            name, _, value = line.partition(":")
            headers.append((name.strip(), value.strip()))
    return lines[0], headers


def read_body(stream, headers):
    length = 0
    for name, value in headers:
        if name.lower() == "content-length" and value.isdigit():
            length = int(value)
    body = b""
    while len(body) < length:
        chunk = stream.recv(length - len(body))
        if not chunk:
            break
        body += chunk
    return body


def serve_requests(stream, tunnel, certificate, first, recorder):
    head = first
    while head:
        line, headers = head
        body = read_body(stream, headers)
        recorder.record(tunnel, certificate, line, headers, body)
        stream.sendall(b"HTTP/1.1 204 No Content\r\nContent-Length: 0\r\nConnection: close\r\n\r\n")
        if any(n.lower() == "connection" and v.lower() == "close" for n, v in headers):
            return
        head = read_head(stream)


def handle(connection, context, certificate, recorder):
    try:
        connection.settimeout(30)
        head = read_head(connection)
        if not head:
            return
        line, headers = head
        method, _, rest = line.partition(" ")
        if method.upper() == "CONNECT":
            tunnel = rest.split(" ")[0]
            connection.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
            try:
                secure = context.wrap_socket(connection, server_side=True)
            except (OSError, ssl.SSLError) as error:
                recorder.refused(tunnel, certificate, "handshake failed: %s" % error)
                return
            try:
                first = read_head(secure)
                if not first:
                    # A client that checks the certificate and refuses it
                    # ends the connection right after the handshake.
                    recorder.refused(tunnel, certificate, "closed after the handshake without a request")
                serve_requests(secure, tunnel, certificate, first, recorder)
            finally:
                try:
                    secure.unwrap()
                except (OSError, ValueError):
                    pass
        else:
            serve_requests(connection, None, None, head, recorder)
    except (OSError, ssl.SSLError):
        pass
    finally:
        try:
            connection.close()
        except OSError:
            pass


def serve(listener, context, certificate, recorder):
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=handle, args=(connection, context, certificate, recorder), daemon=True).start()


def listen(folder, name):
    """A listener on a free loopback port, written to <folder>/<name>."""
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    port_file = os.path.join(folder, name)
    with open(port_file + ".tmp", "w") as out:
        out.write("%d\n" % listener.getsockname()[1])
    os.replace(port_file + ".tmp", port_file)
    return listener


def context_for(certificate):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(*certificate)
    return context


def main():
    folder = sys.argv[1]
    hosts = sys.argv[2:] or DEFAULT_HOSTS
    os.makedirs(folder, exist_ok=True)
    root = make_root(folder)
    right = context_for(make_server_certificate(folder, "server", hosts, root))
    wrong = context_for(make_server_certificate(folder, "wrong-name", [WRONG_NAME], root))
    recorder = Recorder(os.path.join(folder, "requests.log"))
    # The port files are the signal that the capture is ready: the second first.
    wrong_listener = listen(folder, "wrong_name_port")
    right_listener = listen(folder, "port")
    threading.Thread(target=serve, args=(wrong_listener, wrong, WRONG_NAME, recorder), daemon=True).start()
    serve(right_listener, right, hosts[0], recorder)


if __name__ == "__main__":
    main()
