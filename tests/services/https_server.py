#!/usr/bin/env python3
"""Loopback HTTPS server for the service tests.

  https_server.py start --dir DIR   make a throw-away CA and certificates in DIR, start the
                                    server in the background on 127.0.0.1 (ports chosen by the
                                    system), write DIR/state.json and print it
  https_server.py stop --dir DIR    stop the server started for DIR (by its process id)

Two listeners: "port" presents a certificate for IP 127.0.0.1, "other_port" one for the name
other.test only; both are signed by DIR/ca.crt. The server listens on 127.0.0.1 only and
stops by itself after --lifetime seconds.
"""
import argparse
import http.server
import json
import os
import signal
import socket
import ssl
import subprocess
import sys
import threading
import time

FEED = b'{"spectrapoise":{"version":"0.5.0","page":"/spectrapoise#download"}}'


def openssl(directory, *args):
    subprocess.run(["openssl", *args], cwd=directory, check=True,
                   stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def make_certificates(directory):
    openssl(directory, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "ca.key",
            "-out", "ca.crt", "-days", "2", "-subj", "/CN=Test CA",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign")
    for name, alt in (("srv", "IP:127.0.0.1"), ("other", "DNS:other.test")):
        openssl(directory, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key",
                "-out", name + ".csr", "-subj", "/CN=" + ("127.0.0.1" if name == "srv" else "other.test"))
        with open(os.path.join(directory, name + ".cnf"), "w") as f:
            f.write("subjectAltName=%s\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n" % alt)
        openssl(directory, "x509", "-req", "-in", name + ".csr", "-CA", "ca.crt", "-CAkey", "ca.key",
                "-CAcreateserial", "-out", name + ".crt", "-days", "2", "-extfile", name + ".cnf")


class Handler(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def answer(self, status, body, extra=()):
        self.send_response(status)
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        for name, value in extra:
            self.send_header(name, value)
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        path = self.path
        if path == "/updates.json":
            self.answer(200, FEED)
        elif path == "/404":
            self.answer(404, b"nope")
        elif path == "/redir":
            self.answer(302, b"moved", [("Location", "/updates.json")])
        elif path.startswith("/big/") and path[5:].isdigit():
            self.answer(200, b"x" * min(int(path[5:]), 1 << 24))
        elif path == "/hang":
            time.sleep(30)  # never answers in time; the connection closes after
        elif path == "/array":
            self.answer(200, b"[]")
        elif path == "/empty":
            self.answer(200, b"")
        elif path == "/accept":
            self.answer(200, self.headers.get("Accept", "").encode())
        else:
            self.answer(404, b"unknown")


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, certificate, key):
        super().__init__(("127.0.0.1", 0), Handler)
        self.context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        self.context.load_cert_chain(certificate, key)

    def finish_request(self, request, client_address):
        # The handshake runs on the connection's own thread, so a stalled client blocks nobody.
        request.settimeout(40)
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        try:
            self.RequestHandlerClass(tls, client_address, self)
        except (ssl.SSLError, OSError):
            pass

    def handle_error(self, request, client_address):
        pass


def serve(directory, lifetime):
    main = TlsServer(os.path.join(directory, "srv.crt"), os.path.join(directory, "srv.key"))
    other = TlsServer(os.path.join(directory, "other.crt"), os.path.join(directory, "other.key"))
    for server in (main, other):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    state = {"port": main.server_address[1], "other_port": other.server_address[1],
             "ca_file": os.path.join(directory, "ca.crt"), "pid": os.getpid()}
    tmp = os.path.join(directory, "state.json.tmp")
    with open(tmp, "w") as f:
        json.dump(state, f)
    os.rename(tmp, os.path.join(directory, "state.json"))
    signal.signal(signal.SIGTERM, lambda *_: os._exit(0))
    time.sleep(lifetime)
    os._exit(0)


def is_our_server(pid, directory):
    """True when pid is still the server started for this folder (a stale id may be reused)."""
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            words = f.read().split(b"\0")
    except OSError:
        return False
    return b"serve" in words and directory.encode() in words


def stop(directory):
    state_file = os.path.join(directory, "state.json")
    try:
        with open(state_file) as f:
            pid = int(json.load(f)["pid"])
    except (OSError, ValueError, KeyError, TypeError):
        return 0
    if is_our_server(pid, directory):
        try:
            os.kill(pid, signal.SIGTERM)
        except OSError:
            pass
    try:
        os.remove(state_file)
    except OSError:
        pass
    return 0


def start(directory, lifetime):
    stop(directory)
    os.makedirs(directory, exist_ok=True)
    make_certificates(directory)
    log = open(os.path.join(directory, "server.log"), "w")
    child = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", directory,
                              "--lifetime", str(lifetime)],
                             stdin=subprocess.DEVNULL, stdout=log, stderr=log, start_new_session=True)
    state_file = os.path.join(directory, "state.json")
    deadline = time.monotonic() + 30
    while time.monotonic() < deadline:
        if os.path.exists(state_file):
            with open(state_file) as f:
                print(f.read())
            return 0
        if child.poll() is not None:
            break
        time.sleep(0.05)
    print("https_server: the server did not start", file=sys.stderr)
    if child.poll() is None:
        child.kill()
    return 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("command", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True)
    parser.add_argument("--lifetime", type=float, default=1800)
    args = parser.parse_args()
    directory = os.path.abspath(args.dir)
    if args.command == "start":
        return start(directory, args.lifetime)
    if args.command == "stop":
        return stop(directory)
    serve(directory, args.lifetime)
    return 0


if __name__ == "__main__":
    sys.exit(main())
