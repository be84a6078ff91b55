#!/usr/bin/env python3
"""Loopback HTTPS servers for the update tests, one per server certificate of test_authority.py,
all answering with fixed notices. Run as a ctest fixture: `start` makes a fresh authority, leaves
the servers running in the background and writes DIR/ports ("name port" lines) once they listen;
`stop` ends them. Usage: tls_notice_server.py start|stop --dir DIR
"""
import argparse
import http.server
import os
import signal
import ssl
import subprocess
import sys
import threading
import time

import test_authority

NOTICES = {
    "/s/tool/fhx.txt": "1.0.4|https://dl.example/Morvelt-1.0.4.zip",
    "/s/tool/plain-download.txt": "1.0.4|HTTP://dl.example/Morvelt-1.0.4.zip",
}
# A server left behind by an interrupted run ends by itself.
LIFETIME_SECONDS = 1800


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):  # noqa: N802 (the library's name)
        notice = NOTICES.get(self.path)
        if notice is None:
            self.send_error(404)
            return
        body = notice.encode("utf-8")
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


class TlsServer(http.server.ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, context):
        self.context = context
        super().__init__(("127.0.0.1", 0), Handler)

    def finish_request(self, request, client_address):
        # The handshake runs on the request's own thread: a client that refuses the certificate
        # (the point of most rows) only ends its own connection.
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        self.RequestHandlerClass(tls, client_address, self)


def serve(directory):
    test_authority.make(directory)
    lines = []
    for name in test_authority.SERVER_CERTS:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(os.path.join(directory, f"{name}.pem"), os.path.join(directory, f"{name}.key"))
        server = TlsServer(context)
        threading.Thread(target=server.serve_forever, daemon=True).start()
        lines.append(f"{name} {server.server_address[1]}\n")
    ports = os.path.join(directory, "ports")
    with open(ports + ".tmp", "w") as f:
        f.writelines(lines)
    os.chmod(ports + ".tmp", 0o644)
    os.replace(ports + ".tmp", ports)
    time.sleep(LIFETIME_SECONDS)


def start(directory):
    stop(directory)
    os.makedirs(directory, exist_ok=True)
    ports = os.path.join(directory, "ports")
    if os.path.exists(ports):
        os.remove(ports)
    with open(os.path.join(directory, "server.log"), "w") as log:
        process = subprocess.Popen([sys.executable, os.path.abspath(__file__), "serve", "--dir", directory],
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
    with open(os.path.join(directory, "pid"), "w") as f:
        f.write(str(process.pid))
    deadline = time.monotonic() + 60
    while not os.path.exists(ports):
        if process.poll() is not None or time.monotonic() > deadline:
            with open(os.path.join(directory, "server.log")) as f:
                sys.stderr.write(f.read())
            print("the HTTPS test servers did not start", file=sys.stderr)
            return 1
        time.sleep(0.1)
    with open(ports) as f:
        sys.stdout.write(f.read())
    return 0


def stop(directory):
    pid_file = os.path.join(directory, "pid")
    if not os.path.exists(pid_file):
        return 0
    with open(pid_file) as f:
        pid = int(f.read())
    os.remove(pid_file)
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        pass
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("action", choices=["start", "stop", "serve"])
    parser.add_argument("--dir", required=True)
    args = parser.parse_args()
    directory = os.path.abspath(args.dir)
    if args.action == "serve":
        serve(directory)
        return 0
    return start(directory) if args.action == "start" else stop(directory)


if __name__ == "__main__":
    sys.exit(main())
