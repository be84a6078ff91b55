#!/usr/bin/env python3
"""End-to-end tests of the update offer: Morvelt.exe built to ask a loopback address for its notice,
run under Wine on a private Xvfb display, with the notice served over HTTPS by this script.

Usage: update_e2e.py --case NAME --port PORT --tls-dir DIR --morvelt EXE --launcher EXE --probe EXE
                     --package ZIP --patched ZIP --stock ZIP --out DIR [--wine-run SCRIPT]
The executable must have been built with the notice address https://localhost:PORT/s/tool/fhx.txt
and DIR/ca.pem as the one authority it trusts; this script makes that authority afresh.
Exit code 0 passed, 1 failed, 77 skipped (the reason is printed).
"""
import http.server
import os
import ssl
import sys
import threading
import time

here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "e2e"))
sys.path.insert(0, os.path.join(here, "..", "update"))
import morvelt_e2e as e2e  # noqa: E402  (the dialog suite's display, Wine and probe helpers)
import test_authority  # noqa: E402  (the update tests' authority and server certificates)

NOTICE_PATH = "/s/tool/fhx.txt"
OFFER_CAPTION = "更新提示"
OFFER_TEXT = "发现本程序有新版本，是否立即去下载？"
# What the stand-in browser writes beside itself: the address it was asked to open.
OPENED_LOG = "opened.log"
# The test authority and server certificates (--tls-dir).
TLS_DIR = None


class TlsHttpServer(http.server.ThreadingHTTPServer):
    """Counts connections, and hands on only those whose handshake succeeded."""

    daemon_threads = True

    def __init__(self, address, handler, context):
        self.context = context
        self.connections = 0
        super().__init__(address, handler)

    def finish_request(self, request, client_address):
        self.connections += 1
        try:
            tls = self.context.wrap_socket(request, server_side=True)
        except (ssl.SSLError, OSError):
            return
        self.RequestHandlerClass(tls, client_address, self)


class NoticeServer:
    """Serves one notice at NOTICE_PATH on 127.0.0.1:port over HTTPS with the server certificate
    named cert, and remembers the requests."""

    def __init__(self, port, notice, cert="valid", delay=2.0):
        self.requests = []
        self.answered = threading.Event()
        server = self
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(os.path.join(TLS_DIR, f"{cert}.pem"), os.path.join(TLS_DIR, f"{cert}.key"))

        class Handler(http.server.BaseHTTPRequestHandler):
            def do_GET(self):  # noqa: N802 (the library's name)
                server.requests.append((self.path, dict(self.headers)))
                if self.path != NOTICE_PATH:
                    self.send_error(404)
                    return
                # A real server is not instant. The dialog is first shown once its message queue
                # runs empty, so a notice answered at once would be offered over a still hidden dialog.
                time.sleep(delay)
                body = notice.encode("utf-8")
                self.send_response(200)
                self.send_header("Content-Type", "text/plain; charset=utf-8")
                self.send_header("Content-Length", str(len(body)))
                self.end_headers()
                self.wfile.write(body)
                server.answered.set()

            def log_message(self, *args):
                pass

        # The port is fixed in the tool; another run of these tests may hold it for a little while.
        deadline = time.monotonic() + 180
        while True:
            try:
                self.httpd = TlsHttpServer(("127.0.0.1", port), Handler, context)
                break
            except OSError as error:
                if time.monotonic() >= deadline:
                    raise e2e.Failure(f"cannot serve the notice on 127.0.0.1:{port}: {error}")
                time.sleep(1)
        self.thread = threading.Thread(target=self.httpd.serve_forever, daemon=True)
        self.thread.start()

    def close(self):
        self.httpd.shutdown()
        self.httpd.server_close()

    def wait_for_connection(self):
        e2e.wait_until(lambda: self.httpd.connections > 0, 60, "the tool to connect for its update notice")

    def wait_for_request(self):
        e2e.wait_until(lambda: any(path == NOTICE_PATH for path, _ in self.requests), 60,
                       "the tool to ask for its update notice")


class Browser:
    """Points Wine's browser launcher at a stand-in that writes down the addresses it is given, so
    that the shell's "open" of the download address can be seen; undone on close."""

    KEY = r"HKCU\Software\Wine\WineBrowser"

    def __init__(self, env):
        self.env = env
        folder = os.path.join(env.scratch, "browser")
        os.makedirs(folder)
        self.log = os.path.join(folder, OPENED_LOG)
        program = os.path.join(folder, "browser.sh")
        with open(program, "w") as f:
            f.write(f'#!/bin/sh\nprintf "%s\\n" "$@" >>"{self.log}"\n')
        os.chmod(program, 0o755)
        env.wine.run("reg", "add", self.KEY, "/v", "Browsers", "/d", program, "/f")

    def opened(self):
        if not os.path.exists(self.log):
            return []
        return [line for line in e2e.read(self.log).decode("utf-8").splitlines() if line]

    def close(self):
        self.env.wine.run("reg", "delete", self.KEY, "/v", "Browsers", "/f")


def start_tool(env):
    folder = env.make_tool()  # no game directory: the offer is all there is to see
    return env.start(folder)


def offer_box(tool, timeout_ms=20000):
    box = tool.message_box(timeout_ms)
    e2e.check(box is not None, "no update offer was shown")
    e2e.check(box["caption"] == OFFER_CAPTION, f"offer caption {box['caption']!r}")
    e2e.check(box["text"] == OFFER_TEXT, f"offer text {box['text']!r}")
    if "topmost" in box:  # reported by probes that read the extended style
        e2e.check(box["topmost"] == "1", "the offer must stay on top")
    return box


def answer_offer(env, tool, key):
    """Presses key in the offer box, found on the display by its caption as a user would see it."""
    box = e2e.wait_until(lambda: env.display.xdotool("search", "--name", f"^{OFFER_CAPTION}$").stdout.split(), 20,
                         f"the window '{OFFER_CAPTION}'")
    tool.key_to(box[0], key, title=OFFER_CAPTION)


def case_offer_declined(env, port):
    """A newer version is offered; No leaves the dialog open and nothing is opened."""
    server = NoticeServer(port, f"1.0.4|https://localhost:{port}/download/Morvelt.zip")
    browser = Browser(env)
    try:
        tool = start_tool(env)
        server.wait_for_request()
        request = next(headers for path, headers in server.requests if path == NOTICE_PATH)
        e2e.check("User-Agent" not in request, f"the notice request sent a user agent: {request}")
        offer_box(tool)
        print("screenshot:", env.display.screenshot(env.artefact("update-offer.png")))
        answer_offer(env, tool, "n")
        e2e.wait_until(lambda: tool.probe("msgbox", "0")[0] != 0, 20, "the offer to close")
        time.sleep(2)
        e2e.check(tool.process.poll() is None, f"No ended the tool (exit code {tool.process.poll()})")
        e2e.check(tool.state()["title"] == e2e.TITLE, "the dialog is not there after No")
        e2e.check(browser.opened() == [], f"No opened {browser.opened()}")
        e2e.check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        browser.close()
        server.close()


def case_offer_accepted(env, port, scheme="HTTP"):
    """Yes opens the download address exactly as written and ends the tool with exit code 0."""
    address = f"{scheme}://127.0.0.1:{port}/Download/Morvelt-1.0.4.zip"
    server = NoticeServer(port, f"1.0.4|{address}")
    browser = Browser(env)
    try:
        tool = start_tool(env)
        offer_box(tool, 60000)
        answer_offer(env, tool, "Return")  # Yes is the default button
        try:
            code = tool.process.wait(timeout=60)
        except Exception:
            raise e2e.Failure("Yes did not end the tool")
        e2e.check(code == 0, f"Yes must end the tool with exit code 0, got {code}")
        opened = e2e.wait_until(browser.opened, 30, "the stand-in browser to be started")
        # Wine's launcher writes the scheme in lower case; the rest must be exactly as in the notice.
        expected = scheme.lower() + address[len(scheme):]
        e2e.check(opened == [expected], f"the browser was asked for {opened}, expected [{expected!r}]")
    finally:
        browser.close()
        server.close()


def case_current_version(env, port):
    """A notice naming the tool's own version offers nothing."""
    server = NoticeServer(port, f"1.0.3|http://127.0.0.1:{port}/download/Morvelt.zip")
    try:
        tool = start_tool(env)
        server.wait_for_request()
        e2e.check(tool.message_box(5000) is None, "the current version was offered as an update")
        e2e.check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        server.close()


def case_notice_during_action(env, port):
    """A notice that arrives while a press waits for another copy is offered only once the action
    has ended and the launcher started: a Yes can never end the tool while files are changed."""
    server = NoticeServer(port, f"1.0.4|https://localhost:{port}/download/Morvelt.zip", delay=6.0)
    try:
        game = env.make_game()
        holder = e2e.hold_game(env, game, 15000)
        try:
            tool = env.start(env.make_tool(e2e.win_path(game) + "\\"))
            tool.click(e2e.PATCHED)
            e2e.check(server.answered.wait(30), "the notice was never sent")
            e2e.check(e2e.launches(game) == 0, "the launcher started while another copy held the game")
            time.sleep(1)
            e2e.check(tool.message_box(0) is None, "the update was offered during the action")
        finally:
            holder.wait(timeout=60)
        e2e.wait_launches(game, 1)
        offer_box(tool)
        answer_offer(env, tool, "n")
        e2e.wait_until(lambda: tool.probe("msgbox", "0")[0] != 0, 20, "the offer to close")
        e2e.check_files(env, game, env.patched, {name: env.original(name) for name in env.upk[:e2e.ORIGINALS]})
        e2e.check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        server.close()


def case_unknown_authority(env, port):
    """A notice from a server whose certificate no trusted authority signed offers nothing."""
    server = NoticeServer(port, f"1.0.4|https://localhost:{port}/download/Morvelt.zip", cert="self_signed")
    try:
        tool = start_tool(env)
        server.wait_for_connection()
        e2e.check(tool.message_box(8000) is None, "a notice over an unverified connection was offered")
        e2e.check(server.requests == [], f"the tool sent its request over an unverified connection: {server.requests}")
        e2e.check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        server.close()


CASES = {
    "NoticeDuringAction": case_notice_during_action,
    "OfferDeclined": case_offer_declined,
    "OfferAccepted": case_offer_accepted,
    "OfferAcceptedHttps": lambda env, port: case_offer_accepted(env, port, "HTTPS"),
    "CurrentVersion": case_current_version,
    "UnknownAuthority": case_unknown_authority,
}


def main():
    def extra_arguments(parser):
        parser.add_argument("--port", required=True, type=int)
        parser.add_argument("--tls-dir", required=True)

    args = e2e.parse_args(__doc__.splitlines()[0], CASES, extra_arguments)
    global TLS_DIR
    TLS_DIR = args.tls_dir
    test_authority.make(TLS_DIR)

    def run(env):
        # The notice lives on loopback: no proxy, from the caller or the dialog suite's defaults,
        # may stand between the tool and this script's server.
        for name in ("http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"):
            env.wine.env.pop(name, None)
        env.wine.env["no_proxy"] = "127.0.0.1,localhost"
        CASES[args.case](env, args.port)

    return e2e.run_case(args, run, f"failed-update-{args.case}.png")


if __name__ == "__main__":
    sys.exit(main())
