#!/usr/bin/env python3
"""End-to-end tests of Morvelt.exe: the real program under Wine on a private Xvfb display,
driven with xdotool like a user would, checked through the files on disk and a probe that reads
the dialog from outside (dialog_probe.exe).

Usage: morvelt_e2e.py --case NAME --morvelt EXE --launcher EXE --probe EXE
                      --package ZIP --patched ZIP --stock ZIP --out DIR [--wine-run SCRIPT]
Exit code 0 passed, 1 failed, 77 skipped (the reason is printed).
"""
import argparse
import os
import pwd
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import zipfile

SKIP = 77
TITLE = "Vantrel剑灵反和谐登陆器 v1.0.3"
CHOOSER_TITLE = "请选择剑灵登陆器程序"
INSTALL_KEY = r"HKLM\SOFTWARE\Tencent\Blade_and_Soul"
RELAY_KEY = r"HKCU\Software\Wine\Debug"
DECORATION_KEY = r"HKCU\Software\Wine\AppDefaults\Morvelt.exe\X11 Driver"
MB_OK, MB_ICONERROR, MB_TOPMOST = 0x0, 0x10, 0x40000
SETTINGS, HOMEPAGE, OFFICIAL, PATCHED, GAME_DIR, SUMMONER = 1000, 1001, 1002, 1003, 1004, 1005
GAME_STATE = 1008
LAUNCH_BUTTONS = (OFFICIAL, PATCHED, SUMMONER)
PATCHED_FAILED = "部分文件无法修改，反和谐可能无法正常生效。"
NOT_THE_LAUNCHER = "您选择的不是游戏登陆器文件。"
WAITING_FOR_OTHER_COPY = "另一个窗口正在修改游戏文件，请稍候…"
CHANGING_FILES = "正在修改游戏文件"
ORIGINALS = 3  # package entries that the fake install already holds
GAME_RUNNING = "游戏正在运行，请先退出游戏再切换版本。"
MB_ICONWARNING = 0x30
STATE_OFFICIAL = "当前：官方原版"
STATE_PATCHED = "当前：反和谐版"
STATE_SUMMONER = "当前：召唤师专用版"
STATE_CHECKING = "正在检查游戏文件…"


class Failure(Exception):
    pass


class Skip(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def wait_until(predicate, timeout, what):
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise Failure(f"timed out after {timeout}s waiting for {what}")
        time.sleep(0.2)


def win_path(path):
    """The Windows name Wine gives a Unix path (drive Z: is the root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Wine:
    """Runs Windows programs the project's way (scripts/wine-run.sh)."""

    def __init__(self, wine_run, display):
        self.wine_run = wine_run
        # The update check at start-up must not reach the network: a proxy on a closed loopback
        # port makes it fail at once, silently, as it does offline.
        self.env = dict(os.environ, DISPLAY=display, http_proxy="http://127.0.0.1:9", ALL_PROXY="http://127.0.0.1:9",
                        NO_PROXY="")
        probe = subprocess.run(
            ["bash", "-c", '. "$1" && printf "%s" "$MORVELT_WINE_RUN_AS"', "bash",
             os.path.join(os.path.dirname(wine_run), "wine-env.sh")],
            env=self.env, stdin=subprocess.DEVNULL, capture_output=True, text=True, check=True)
        self.user = probe.stdout.strip()  # empty: Wine runs as the caller

    def run(self, *args, cwd=None, timeout=120):
        return subprocess.run([self.wine_run, *args], cwd=cwd, env=self.env, stdin=subprocess.DEVNULL,
                              capture_output=True, timeout=timeout)

    def start(self, *args, cwd, extra_env=None, stderr=None):
        return subprocess.Popen([self.wine_run, *args], cwd=cwd, env=dict(self.env, **(extra_env or {})),
                                stdin=subprocess.DEVNULL, stderr=stderr, start_new_session=True)

    def give(self, path):
        """Hands a scratch tree to the Wine user, so the tool can write there as it would at home."""
        if not self.user:
            return
        entry = pwd.getpwnam(self.user)
        for root, dirs, files in os.walk(path):
            os.chown(root, entry.pw_uid, entry.pw_gid)
            for name in files:
                os.chown(os.path.join(root, name), entry.pw_uid, entry.pw_gid)


class Display:
    def __init__(self):
        read_fd, write_fd = os.pipe()
        self.process = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_fd), "-ac", "-nolisten", "tcp", "-screen", "0", "1024x768x24"],
            pass_fds=(write_fd,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_fd)
        with os.fdopen(read_fd) as pipe:
            number = pipe.readline().strip()
        if not number:
            self.process.kill()
            raise Skip("Xvfb could not start a display")
        self.name = ":" + number

    def close(self):
        self.process.terminate()
        self.process.wait(timeout=10)

    def xdotool(self, *args):
        return subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.name), capture_output=True,
                              text=True, timeout=30)

    def screenshot(self, path, window="root"):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        subprocess.run(["import", "-display", self.name, "-window", window, path], check=True, timeout=60,
                       capture_output=True)
        return path


class Tool:
    """One run of Morvelt.exe from a folder of its own (its Morvelt.ini lives there)."""

    def __init__(self, env, folder, trace_calls=False):
        self.env = env
        self.folder = folder
        self.trace = None
        extra_env = None
        if trace_calls:
            # Wine's relay trace shows the arguments the tool passes to MessageBoxW and ShellExecuteW.
            self.trace = open(os.path.join(env.scratch, "relay.log"), "wb")
            extra_env = {"MORVELT_WINEDEBUG": "+relay"}
        self.process = env.wine.start("Morvelt.exe", cwd=folder, extra_env=extra_env, stderr=self.trace)
        self.window = wait_until(self.find_window, 60, "the main dialog")

    def traced(self):
        self.trace.flush()
        return read(self.trace.name).decode("utf-8", "replace")

    def shell_calls(self):
        """(owner, verb, file, parameters, directory, show) of every ShellExecuteW call; needs trace_calls."""
        calls = re.findall(r'Call shell32\.ShellExecuteW\(([0-9a-f]+),[0-9a-f]+ L"([^"]*)",[0-9a-f]+ L"([^"]*)",'
                           r'([0-9a-f]+),([0-9a-f]+),([0-9a-f]+)\) ret=', self.traced())
        # A 64-bit trace prints whole registers: an int argument is only their low 32 bits.
        return [(int(owner, 16), verb, file.replace("\\\\", "\\"), int(params, 16), int(folder, 16),
                 int(show, 16) & 0xFFFFFFFF)
                for owner, verb, file, params, folder, show in calls]

    def message_box_calls(self):
        """(owner, flags) of every MessageBoxW call so far; needs trace_calls."""
        text = self.traced()
        return [(int(owner, 16), int(flags, 16) & 0xFFFFFFFF)
                for owner, flags in re.findall(r"Call user32\.MessageBoxW\(([0-9a-f]+),.*,([0-9a-f]+)\) ret=", text)]

    def find_window(self):
        # Visible only: the title is set early in the dialog's initialisation, but the window is
        # shown once that is over (the game directory applied), so a case starts from a whole dialog.
        found = self.env.display.xdotool("search", "--onlyvisible", "--name", "^Vantrel")
        return found.stdout.split()[0] if found.returncode == 0 and found.stdout.strip() else None

    def probe(self, *args):
        result = self.env.wine.run(self.env.args.probe, *args)
        lines = result.stdout.decode("utf-8").splitlines()
        return result.returncode, dict(line.split("=", 1) for line in lines if "=" in line)

    def state(self):
        code, values = self.probe("state")
        check(code == 0, f"probe found no dialog: {values}")
        return values

    def control(self, state, control_id):
        enabled, x, y, kind = state[f"control.{control_id}"].split(",")
        return enabled == "1", int(x), int(y), int(kind)

    def click(self, control_id):
        _, x, y, _ = self.control(self.state(), control_id)
        self.env.display.xdotool("mousemove", "--sync", str(x), str(y))
        self.env.display.xdotool("click", "1")

    def key_to(self, window, *keys, title=TITLE):
        """Types keys into window, whose title starts with title (the main dialog's by default)."""
        # Wine makes the window active only once X has reported the focus, and drops keys that come
        # before: wait, bounded, until it has.
        self.env.display.xdotool("windowfocus", "--sync", window)
        wait_until(lambda: self.probe("active")[1].get("active", "").startswith(title), 20,
                   f"Wine to activate the window '{title}'")
        self.env.display.xdotool("key", "--delay", "100", *keys)

    def message_box(self, timeout_ms=20000):
        code, values = self.probe("msgbox", str(timeout_ms))
        return values if code == 0 else None

    def dismiss_message_box(self, caption):
        box = wait_until(lambda: self.env.display.xdotool("search", "--name", f"^{caption}$").stdout.split(), 20,
                         f"the message box window '{caption}'")
        # Return again only while the box is still there: a key that reached Wine before it took the
        # focus is lost on a loaded machine.
        for _ in range(3):
            self.key_to(box[0], "Return", title=caption)
            try:
                wait_until(lambda: self.probe("msgbox", "0")[0] != 0, 10, "the message box to close")
                return
            except Failure:
                continue
        raise Failure(f"Return did not close the message box '{caption}'")

    def escape(self):
        """Esc closes the tool; returns its exit code. Esc is pressed again only if the tool is still
        there after a while (a key that arrived before Wine took the focus is lost)."""
        for _ in range(3):
            self.key_to(self.window, "Escape")
            try:
                return self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                continue
        raise Failure("Esc did not end the tool")

    def stop(self):
        if self.trace is not None:
            self.trace.close()
        if self.process.poll() is None:
            try:
                os.killpg(self.process.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.process.wait(timeout=10)
            except subprocess.TimeoutExpired:
                os.killpg(self.process.pid, signal.SIGKILL)


class Archive:
    def __init__(self, path):
        with zipfile.ZipFile(path) as archive:
            self.files = {info.filename: archive.read(info) for info in archive.infolist() if not info.is_dir()}


class Env:
    """Scratch folders, display and Wine for one case."""

    def __init__(self, args):
        self.args = args
        self.display = Display()
        self.wine = Wine(args.wine_run, self.display.name)
        self.scratch = tempfile.mkdtemp(prefix="morvelt-e2e-")
        os.chmod(self.scratch, 0o755)
        self.tools = []
        self.package = Archive(args.package)
        self.patched = Archive(args.patched)
        self.stock = Archive(args.stock)
        self.upk = sorted(name for name in self.package.files if name.endswith(".upk"))
        # Wine draws the caption itself (no window manager here), so screenshots show the title.
        self.wine.run("reg", "add", DECORATION_KEY, "/v", "Decorated", "/d", "N", "/f")
        # Relay traces (asked for per run) cover only the message box and shell calls.
        self.wine.run("reg", "add", RELAY_KEY, "/v", "RelayInclude", "/d", "user32.MessageBoxW;shell32.ShellExecuteW", "/f")
        # No install key from elsewhere may decide what the tool finds, in either view.
        for view in ("/reg:32", "/reg:64"):
            self.wine.run("reg", "delete", INSTALL_KEY, "/f", view)

    def close(self):
        for tool in self.tools:
            tool.stop()
        self.wine.run("reg", "delete", RELAY_KEY, "/v", "RelayInclude", "/f")
        self.wine.run("reg", "delete", DECORATION_KEY, "/f")
        self.display.close()
        for root, dirs, files in os.walk(self.scratch):
            for name in files:
                os.chmod(os.path.join(root, name), 0o644)
        shutil.rmtree(self.scratch, ignore_errors=True)

    def make_game(self, name="game", client=True, launcher=True):
        root = os.path.join(self.scratch, name)
        os.makedirs(root)
        if launcher:
            os.makedirs(os.path.join(root, "TCLS"))
            shutil.copy(self.args.launcher, os.path.join(root, "TCLS", "Launcher.exe"))
        if client:
            os.makedirs(os.path.join(root, "bin"))
            shutil.copy(self.args.launcher, os.path.join(root, "bin", "Client.exe"))
        for name_ in self.upk[:ORIGINALS]:
            path = os.path.join(root, name_)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(self.original(name_))
        return root

    @staticmethod
    def original(entry):
        return ("original " + entry).encode()

    def make_tool(self, game_path=None, name="tool"):
        folder = os.path.join(self.scratch, name)
        os.makedirs(folder)
        shutil.copy(self.args.morvelt, os.path.join(folder, "Morvelt.exe"))
        if game_path is not None:
            with open(os.path.join(folder, "Morvelt.ini"), "w", newline="") as f:
                f.write(f"[Config]\r\nGamePath={game_path}\r\n")
        return folder

    def start(self, folder, **options):
        self.wine.give(self.scratch)
        tool = Tool(self, folder, **options)
        self.tools.append(tool)
        return tool

    def artefact(self, name):
        return os.path.join(self.args.out, name)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def launches(game):
    log = os.path.join(game, "TCLS", "launched.log")
    return read(log).count(b"started") if os.path.exists(log) else 0


def wait_launches(game, count):
    wait_until(lambda: launches(game) >= count, 30, f"launch number {count} of the fake launcher")
    check(launches(game) == count, f"launcher started {launches(game)} times, expected {count}")


def file_identities(game):
    """Every file below game: which file it is, its size and last-write time, and its bytes."""
    identities = {}
    for root, _, files in os.walk(game):
        for f in files:
            path = os.path.join(root, f)
            st = os.stat(path)
            identities[os.path.relpath(path, game).replace(os.sep, "/")] = (st.st_ino, st.st_size, st.st_mtime_ns, read(path))
    return identities


def settings_value(folder):
    path = os.path.join(folder, "Morvelt.ini")
    if not os.path.exists(path):
        return None
    data = read(path)
    text = data[2:].decode("utf-16-le") if data.startswith(b"\xff\xfe") else data.decode("latin-1")
    for line in text.splitlines():
        if line.startswith("GamePath="):
            return line[len("GamePath="):]
    return None


def check_buttons(tool, state, launch_enabled):
    for control_id in (SETTINGS, HOMEPAGE):
        check(tool.control(state, control_id)[0], f"button {control_id} should respond")
    for control_id in LAUNCH_BUTTONS:
        check(tool.control(state, control_id)[0] == launch_enabled,
              f"launch button {control_id} enabled={not launch_enabled}, expected {launch_enabled}")


def check_icons(env, tool):
    """Both window icons, at the system's large and small sizes (Wine hands them to X as _NET_WM_ICON)."""
    if shutil.which("xprop") is None:
        print("note: xprop (x11-utils) is not installed; window icons not checked")
        return
    icons = subprocess.run(["xprop", "-display", env.display.name, "-id", tool.window, "_NET_WM_ICON"],
                           capture_output=True, text=True, timeout=30).stdout
    for size in ("32 x 32", "16 x 16"):
        check(f"Icon ({size})" in icons, f"no {size} window icon")


def hold_game(env, game, milliseconds):
    """Another copy's action, as the dialog sees it: the probe holds the game's lock for a while.
    Returns the holder's process once it holds the lock."""
    holder = subprocess.Popen([env.wine.wine_run, env.args.probe, "hold", win_path(game) + "\\", str(milliseconds)],
                              env=env.wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              start_new_session=True)
    # Only the probe's own line counts: Wine may print a line of its own first in a new prefix.
    line = b""
    for raw in iter(holder.stdout.readline, b""):
        line = raw.strip()
        if line.startswith(b"held="):
            break
    if line != b"held=1":
        holder.kill()
        raise Failure(f"the stand-in copy could not take the game's lock: {line!r}")
    return holder


def check_files(env, game, data, backups):
    """Every package file as in the archive, the given data set, and .VTBak files exactly as in backups
    (entry name -> the bytes its backup must hold)."""
    for name, content in env.package.files.items():
        check(read(os.path.join(game, name)) == content, f"{name} does not hold the package archive's bytes")
    for name, content in data.files.items():
        check(read(os.path.join(game, name)) == content, f"{name} does not hold the expected data file")
    found = sorted(os.path.relpath(os.path.join(root, f), game).replace(os.sep, "/")[:-len(".VTBak")]
                   for root, _, files in os.walk(game) for f in files if f.endswith(".VTBak"))
    check(found == sorted(backups), f"backups of {found[:5]}..., expected {sorted(backups)[:5]}...")
    for name, content in backups.items():
        check(read(os.path.join(game, name + ".VTBak")) == content, f"backup of {name} holds the wrong bytes")


# ---- Cases ----

def case_no_game_directory(env):
    """Nothing found at start: only settings and home page respond, the edit stays empty."""
    folder = env.make_tool()
    tool = env.start(folder, trace_calls=True)
    state = tool.state()
    check(state["title"] == TITLE, f"title {state['title']!r}")
    check(state["edit"] == "", f"edit shows {state['edit']!r}")
    check_buttons(tool, state, launch_enabled=False)
    check(state["focus"] == str(SETTINGS), f"focus on {state['focus']}, expected the settings button")
    check_icons(env, tool)
    # Centred on the work area of the monitor (no owner window).
    x, y, w, h = map(int, state["window"].split(","))
    ax, ay, aw, ah = map(int, state["workarea"].split(","))
    check(abs((x + w // 2) - (ax + aw // 2)) <= 1 and abs((y + h // 2) - (ay + ah // 2)) <= 1,
          f"dialog at {state['window']} is not centred in {state['workarea']}")
    print("screenshot:", env.display.screenshot(env.artefact("no-game-directory.png"), tool.window))

    tool.click(PATCHED)  # disabled: nothing may happen
    time.sleep(1)
    check(tool.message_box(0) is None, "a disabled launch button showed a message")
    check(settings_value(folder) is None, "a settings file was written though nothing was applied")
    check(tool.shell_calls() == [], f"a disabled launch button reached the shell: {tool.shell_calls()}")

    # The home-page button responds without a game directory: the community page, opened like the launcher.
    tool.click(HOMEPAGE)
    calls = wait_until(tool.shell_calls, 20, "the home page to be opened")
    owner, verb, address, params, directory, show = calls[0]
    check(len(calls) == 1 and (owner, verb, params, directory, show) == (0, "open", 0, 0, 5)
          and address.startswith("https://"), f"home page opened as {calls}")
    check(tool.process.poll() is None, "opening the home page ended the tool")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_launch_actions(env):
    """Each launch button patches or restores the install and starts the launcher."""
    game = env.make_game()
    folder = env.make_tool(win_path(game))  # no trailing backslash: the tool adds it
    tool = env.start(folder, trace_calls=True)
    state = tool.state()
    expected_dir = win_path(game) + "\\"
    check(state["edit"] == expected_dir, f"edit shows {state['edit']!r}, expected {expected_dir!r}")
    check_buttons(tool, state, launch_enabled=True)
    check(settings_value(folder) == expected_dir, "applying the directory did not write it back")
    print("screenshot:", env.display.screenshot(env.artefact("main-dialog.png"), tool.window))

    originals = env.upk[:ORIGINALS]
    tool.click(PATCHED)
    wait_launches(game, 1)
    check(tool.message_box(0) is None, "patched launch reported a failure")
    # Only files that existed get a backup, holding the bytes from before the install.
    check_files(env, game, env.patched, {name: env.original(name) for name in originals})

    # Pressed again, the same button finds everything in place and rewrites nothing. The files
    # the first press created now gain their backups, as second names of the same files.
    before = file_identities(game)
    tool.click(PATCHED)
    wait_launches(game, 2)
    check(tool.message_box(0) is None, "the second patched launch reported a failure")
    after = file_identities(game)
    changed = sorted(name for name in before if before[name] != after.get(name) and name != "TCLS/launched.log")
    check(not changed, f"the second patched launch changed {changed[:5]}")
    added = sorted(after.keys() - before.keys())
    unlinked = [name for name in added
                if not name.endswith(".VTBak") or after[name][0] != after[name[:-len(".VTBak")]][0]]
    check(not unlinked, f"the second patched launch added {unlinked[:5]}, not second names of game files")

    tool.click(SUMMONER)
    wait_launches(game, 3)
    check(tool.message_box(0) is None, "summoner launch reported a failure")
    # A second install keeps the first backups; files it wrote itself last time now get theirs.
    backups = dict(env.package.files)
    backups.update({name: env.original(name) for name in originals})
    check_files(env, game, env.stock, backups)

    tool.click(OFFICIAL)
    wait_launches(game, 4)
    check(tool.message_box(0) is None, "official launch reported a failure")
    for name in originals:
        check(read(os.path.join(game, name)) == env.original(name), f"{name} was not restored")
    for name in env.package.files:
        if name not in originals:  # did not exist before the first install: stays in place
            check(read(os.path.join(game, name)) == env.package.files[name], f"{name} changed on restore")
    for name, content in env.stock.files.items():
        check(read(os.path.join(game, name)) == content, f"{name} is not the stock data file")
    leftovers = [f for _, _, files in os.walk(game) for f in files if f.endswith(".VTBak")]
    check(not leftovers, f"backups left after restore: {leftovers[:3]}")
    # No owner, verb "open", no parameters, no working directory, SW_SHOW (5).
    launcher = (0, "open", expected_dir + "TCLS\\Launcher.exe", 0, 0, 5)
    check(tool.shell_calls() == [launcher] * 4, f"shell calls {tool.shell_calls()}, expected 4 x {launcher}")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_failing_install(env):
    """A package file the user may not write: the patched launch reports it and still starts the game."""
    if not env.wine.user:
        raise Skip("Wine runs as root here, which ignores read-only files; no unprivileged Wine user")
    game = env.make_game()
    locked = env.upk[0]
    locked_path = os.path.join(game, locked)
    folder = env.make_tool(win_path(game) + "\\")
    env.wine.give(env.scratch)
    os.chmod(locked_path, 0o444)
    tool = env.start(folder, trace_calls=True)
    tool.click(PATCHED)
    box = tool.message_box()
    check(box is not None, "no message box after a failed install")
    check(box["caption"] == "提示" and box["text"] == PATCHED_FAILED, f"message box {box}")
    calls = tool.message_box_calls()
    check(len(calls) == 1 and calls[0][0] != 0, f"expected one message box owned by the dialog: {calls}")
    check(calls[0][1] == MB_ICONERROR | MB_OK | MB_TOPMOST, f"failure box flags {calls[0][1]:#x}")
    print("screenshot:", env.display.screenshot(env.artefact("install-failed.png")))
    check(launches(game) == 0, "the launcher started before the message was answered")
    tool.dismiss_message_box("提示")
    wait_launches(game, 1)

    check(read(locked_path) == env.original(locked), "the read-only file was changed")
    check(read(locked_path + ".VTBak") == env.original(locked), "the read-only file got no backup")
    for name, content in env.package.files.items():
        if name != locked:
            check(read(os.path.join(game, name)) == content, f"{name} was not installed after the failure")
    for name in env.patched.files:
        check(not os.path.exists(os.path.join(game, name)), f"{name} written though the package install failed")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_keyboard(env):
    """Enter in the game-directory field never closes the dialog (no handler for IDOK); Esc does, with code 2."""
    game = env.make_game()
    folder = env.make_tool(win_path(game) + "\\")
    tool = env.start(folder)
    tool.click(GAME_DIR)
    wait_until(lambda: tool.state()["focus"] == str(GAME_DIR), 10, "focus in the game-directory field")
    tool.key_to(tool.window, "Return")
    time.sleep(2)
    check(tool.process.poll() is None, "Enter in the game-directory field closed the tool")
    check(tool.state()["edit"] == win_path(game) + "\\", "the dialog lost its directory")
    check(launches(game) == 0, "Enter started a launch action")
    # The keys do reach the dialog: Enter on a focused push button activates it, as the system does.
    tool.key_to(tool.window, "shift+Tab")
    wait_until(lambda: tool.state()["focus"] == str(PATCHED), 10, "focus on the patched-launch button")
    tool.key_to(tool.window, "Return")
    wait_launches(game, 1)
    check(tool.process.poll() is None, "Enter on a launch button closed the tool")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def choose_launcher(env, tool, path):
    tool.click(SETTINGS)
    chooser = wait_until(lambda: env.display.xdotool("search", "--name", CHOOSER_TITLE).stdout.split(), 30,
                         "the file-open dialog")[0]
    tool.key_to(chooser, "ctrl+a", title=CHOOSER_TITLE)
    env.display.xdotool("type", "--delay", "30", path)
    env.display.xdotool("key", "Return")
    wait_until(lambda: not env.display.xdotool("search", "--name", CHOOSER_TITLE).stdout.split(), 30,
               "the file-open dialog to close")


def case_choose_launcher(env):
    """The settings button: a launcher outside a complete install is refused, a real one is applied."""
    game = env.make_game()
    lonely = env.make_game("clientonly", launcher=False)
    os.makedirs(os.path.join(lonely, "Other"))
    shutil.copy(env.args.launcher, os.path.join(lonely, "Other", "Launcher.exe"))
    folder = env.make_tool()
    tool = env.start(folder, trace_calls=True)

    choose_launcher(env, tool, win_path(os.path.join(lonely, "Other", "Launcher.exe")))
    box = tool.message_box()
    check(box is not None and box["caption"] == "错误" and box["text"] == NOT_THE_LAUNCHER,
          f"refusal message {box}")
    calls = tool.message_box_calls()
    check(len(calls) == 1 and calls[0][0] != 0, f"expected one message box owned by the dialog: {calls}")
    check(calls[0][1] == MB_ICONERROR | MB_OK, f"refusal box flags {calls[0][1]:#x} (not top-most)")
    tool.dismiss_message_box("错误")
    state = tool.state()
    check(state["edit"] == "", "a refused launcher was shown")
    check_buttons(tool, state, launch_enabled=False)
    check(settings_value(folder) is None, "a refused launcher was written to the settings file")

    choose_launcher(env, tool, win_path(os.path.join(game, "TCLS", "Launcher.exe")))
    expected_dir = win_path(game) + "\\"
    state = wait_until(lambda: (lambda s: s if s["edit"] == expected_dir else None)(tool.state()), 10,
                       "the chosen directory in the edit")
    check_buttons(tool, state, launch_enabled=True)
    check(settings_value(folder) == expected_dir, "the chosen directory was not remembered")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_unicode_settings(env):
    """A game in a folder the English code page (1252) cannot spell, found through the registry, is
    remembered in Morvelt.ini: with the registry value gone, the next start still patches it."""
    game = env.make_game("游戏 剑灵")
    expected_dir = win_path(game) + "\\"
    folder = env.make_tool()
    # Where the game's 32-bit installer writes it: the 32-bit view (Wow6432Node in a 64-bit prefix).
    env.wine.run("reg", "add", INSTALL_KEY, "/v", "InstallPath", "/d", expected_dir, "/f", "/reg:32")
    tool = env.start(folder)
    state = tool.state()
    check(state["acp"] == "1252", f"the tool runs with code page {state['acp']}, expected 1252 (locale generated?)")
    check(state["edit"] == expected_dir, f"edit shows {state['edit']!r}, expected {expected_dir!r}")
    check(settings_value(folder) == expected_dir, f"Morvelt.ini holds {settings_value(folder)!r}")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")

    env.wine.run("reg", "delete", INSTALL_KEY, "/f", "/reg:32")
    tool = env.start(folder)
    state = tool.state()
    check(state["edit"] == expected_dir, f"after restart the edit shows {state['edit']!r}")
    check_buttons(tool, state, launch_enabled=True)
    tool.click(PATCHED)
    wait_launches(game, 1)
    check_files(env, game, env.patched, {name: env.original(name) for name in env.upk[:ORIGINALS]})
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


DPI_KEY = r"HKCU\Control Panel\Desktop"  # Wine reads LogPixels here first, HKCC\Software\Fonts after


def layout(tool):
    """The probe's layout: DPI, client size (w, h) and [(class, id, client width, text width, text)];
    prints which font the texts were measured in."""
    code, values = tool.probe("layout")
    check(code == 0, f"probe found no dialog: {values}")
    print("measured in the font of the", values.get("font"))
    items = []
    for key, value in values.items():
        if key.startswith("item."):
            kind, control_id, width, text_width, text = value.split(",", 4)
            items.append((kind, int(control_id), int(width), int(text_width), text))
    return int(values["dpi"]), tuple(map(int, values["client"].split(","))), items


def case_dpi(env):
    """At 150 % the dialog is drawn at 150 %, not stretched: its client area grows 1.5 times and every
    text still fits its control in the font the dialog really uses."""
    game = env.make_game()
    folder = env.make_tool(win_path(game) + "\\")
    clients = {}
    try:
        for dpi in (96, 144):
            # The prefix is read at process start: each run of the tool sees the value set before it.
            env.wine.run("reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
            tool = env.start(folder)
            seen, client, items = layout(tool)
            check(seen == dpi, f"the tool runs at {seen} DPI, expected {dpi}")
            print("screenshot:", env.display.screenshot(env.artefact(f"dpi-{dpi}.png"), tool.window))
            print(f"client area at {dpi} DPI: {client[0]} x {client[1]}")
            check(len(items) == 9, f"{len(items)} controls found, expected 8 and the state line")
            for kind, control_id, width, text_width, text in items:
                if kind != "Edit":  # the game directory scrolls in its field
                    check(text_width <= width, f"at {dpi} DPI {text!r} is {text_width} px wide in a {width} px control")
            clients[dpi] = client
            check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        env.wine.run("reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f")
    # Dialog units follow the font's average character width, which grows in whole pixels
    # (7 to 10 with the prefix's font): about 1.5, never the 1.0 of a dialog left at 96 DPI.
    for axis, name in ((0, "width"), (1, "height")):
        ratio = clients[144][axis] / clients[96][axis]
        check(1.35 <= ratio <= 1.65, f"client {name} grew {ratio:.2f} times from 96 to 144 DPI, expected about 1.5")


def case_held_press(env):
    """A press while another copy holds the game: the dialog answers throughout, its buttons stay
    disabled and it says it waits; three clicks make one action, which ends as before."""
    game = env.make_game()
    folder = env.make_tool(win_path(game) + "\\")
    tool = env.start(folder)
    holder = hold_game(env, game, 20000)
    try:
        tool.click(PATCHED)
        watcher = subprocess.Popen([env.wine.wine_run, env.args.probe, "watch", "5000"], env=env.wine.env,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, start_new_session=True)
        for _ in range(2):  # the pointer is still on the button
            time.sleep(0.5)
            env.display.xdotool("click", "1")
        print("screenshot:", env.display.screenshot(env.artefact("held-press.png"), tool.window))
        seen = dict(line.split("=", 1) for line in watcher.communicate(timeout=60)[0].decode("utf-8").splitlines()
                    if "=" in line)
        print("while held:", seen)
        check(int(seen["unanswered"]) == 0 and int(seen["longest_reply_ms"]) < 500,
              f"the dialog went unanswered during the press: {seen}")
        check(int(seen["busy_samples"]) > 0, f"the dialog showed nothing of the press: {seen}")
        check(int(seen["enabled_while_busy"]) == 0, f"a button responded during the press: {seen}")
        texts = set(seen["texts"].split("|"))
        check(WAITING_FOR_OTHER_COPY in texts and texts <= {WAITING_FOR_OTHER_COPY, CHANGING_FILES},
              f"the action line showed {seen['texts']!r}")
        if holder.poll() is None:  # a slow machine may have outlasted the hold
            check(launches(game) == 0, "the launcher started while another copy held the game")
    finally:
        holder.wait(timeout=60)
    wait_launches(game, 1)
    time.sleep(3)
    check(launches(game) == 1, f"three clicks started the launcher {launches(game)} times")
    check(tool.message_box(0) is None, "the press after the hold reported a failure")
    check_files(env, game, env.patched, {name: env.original(name) for name in env.upk[:ORIGINALS]})
    _, after = tool.probe("watch", "300")
    check(after["busy_samples"] == "0", f"the action line stayed after the press: {after}")
    check_buttons(tool, tool.state(), launch_enabled=True)
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_close_during_press(env):
    """Esc, the close box and the system menu's Close while a press waits for another copy are
    refused: the dialog stays, and once the other copy lets go the press starts the launcher once.
    Then the game folder goes: the next press shows the failure box."""
    game = env.make_game()
    folder = env.make_tool(win_path(game) + "\\")
    tool = env.start(folder)
    holder = hold_game(env, game, 50000)  # within the press's minute of waiting
    try:
        tool.click(PATCHED)
        wait_until(lambda: not tool.control(tool.state(), PATCHED)[0], 20, "the press to disable the launch buttons")
        tool.key_to(tool.window, "Escape")
        code, closed = tool.probe("close")
        check(code == 0 and closed.get("answered") == "2", f"the dialog did not take the closes: {closed}")
        check(tool.process.poll() is None, "Esc or the close box ended the tool during the press")
        check(not tool.control(tool.state(), PATCHED)[0], "the press was over before the closes were tried")
        check(launches(game) == 0, "the launcher started while another copy held the game")
    finally:
        os.killpg(holder.pid, signal.SIGKILL)  # the other copy is ended: its lock goes with it
        holder.wait(timeout=60)
    wait_launches(game, 1)
    check(tool.process.poll() is None, "Esc or the close box ended the tool when the press was over")
    wait_until(lambda: tool.control(tool.state(), PATCHED)[0], 20, "the launch buttons to respond again")
    check_buttons(tool, tool.state(), launch_enabled=True)
    check(launches(game) == 1, f"the launcher started {launches(game)} times, expected once")
    removed_game(tool, game)


def removed_game(tool, game):
    """A game folder removed after the tool found it: a press shows the failure box, not the word of
    another copy, and the dialog goes on."""
    shutil.rmtree(game)
    tool.click(PATCHED)
    box = tool.message_box()
    check(box is not None and box["text"] == PATCHED_FAILED, f"message box {box}")
    tool.dismiss_message_box("提示")
    wait_until(lambda: tool.control(tool.state(), PATCHED)[0], 20, "the launch buttons to respond again")
    check_buttons(tool, tool.state(), launch_enabled=True)
    check(not os.path.exists(game), "the press made the removed game folder again")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


IDC_APPSTARTING = 0x7F8A
FILE_CALLS = ("CreateFileW", "GetFileAttributesW", "GetFileAttributesExW", "GetPrivateProfileStringW")
# The "fail critical errors" bit of each form: SEM_FAILCRITICALERRORS, and ntdll's spelling of it.
ERROR_MODE_CALLS = {"SetThreadErrorMode": 0x1, "RtlSetThreadErrorMode": 0x10}
RELAY_CURSOR = ";".join(("user32.MessageBoxW", "shell32.ShellExecuteW", "user32.SetCursor", "user32.LoadCursorW")
                        + FILE_CALLS + tuple(ERROR_MODE_CALLS))


def relay_events(text):
    """(kind, function, arguments or return value) of every traced call and return, in order."""
    return re.findall(r"(Call|Ret) +[\w.-]+\.(\w+)\((.*?)\)(?: retval=([0-9a-f]+))?", text)


def handle(text):
    """A traced handle: 32 bits are the value, a 64-bit trace prints whole registers."""
    return int(text, 16) & 0xFFFFFFFF


def traced_calls(text):
    """(thread, function, first argument) of every traced call, and the index of the first file call."""
    calls = re.findall(r"^([0-9a-f]+):Call +[\w.-]+\.(\w+)\(([0-9a-f]*)", text, re.MULTILINE)
    return calls, next((i for i, (_, name, _) in enumerate(calls) if name in FILE_CALLS), None)


def check_error_mode_first(tool):
    """The thread that looks at files first has set SEM_FAILCRITICALERRORS for itself before: a
    remembered game on a removed disk must not raise the system's "No disk" box."""
    # Wine writes the trace as the tool runs: wait, bounded, until it holds the first file call.
    calls, first_file = wait_until(lambda: (lambda found: found if found[1] is not None else None)(
        traced_calls(tool.traced())), 30, "a file call in the trace")
    thread = calls[first_file][0]
    check(any(tid == thread and handle(mode or "0") & ERROR_MODE_CALLS.get(name, 0)
              for tid, name, mode in calls[:first_file]),
          f"thread {thread} calls {calls[first_file][1]} before it sets SEM_FAILCRITICALERRORS")


def check_busy_cursor(events, game_name, failed):
    """One launch: the busy cursor is set before the first file of the game is opened and shown
    again whenever the system asks; the previous cursor comes back after the last file, and any
    message box and the launcher only after that."""
    # The launcher call ends the action; the shell opens the launcher file itself after that.
    shell = next(i for i, (kind, name, _, _) in enumerate(events) if kind == "Call" and name == "ShellExecuteW")
    events = events[:shell]
    busy = next((handle(value) for kind, name, args, value in events
                 if kind == "Ret" and name == "LoadCursorW" and value), None)
    loads = [args for kind, name, args, _ in events if kind == "Call" and name == "LoadCursorW"]
    check(loads and handle(loads[0].split(",")[-1]) == IDC_APPSTARTING, f"no IDC_APPSTARTING cursor loaded: {loads}")
    sets = [(i, handle(args)) for i, (kind, name, args, _) in enumerate(events) if kind == "Call" and name == "SetCursor"]
    check(len(sets) >= 2 and sets[0][1] == busy and all(cursor == busy for _, cursor in sets[:-1]),
          f"SetCursor calls {sets}, expected the busy cursor {busy} until the last one")
    previous = next(handle(value) for kind, name, _, value in events[sets[0][0]:] if kind == "Ret" and name == "SetCursor")
    check(sets[-1][1] == previous, f"cursor {sets[-1][1]:#x} set back, expected the previous {previous:#x}")
    opened = [i for i, (kind, name, args, _) in enumerate(events)
              if kind == "Call" and name == "CreateFileW" and game_name in args]
    check(opened and sets[0][0] < opened[0] and opened[-1] < sets[-1][0],
          f"game files opened at {opened[:1]}..{opened[-1:]}, outside the busy cursor {sets[0][0]}..{sets[-1][0]}")
    boxes = [i for i, (kind, name, _, _) in enumerate(events) if kind == "Call" and name == "MessageBoxW"]
    check(len(boxes) == (1 if failed else 0) and all(i > sets[-1][0] for i in boxes),
          f"message box at {boxes}, cursor set back at {sets[-1][0]} (failure expected: {failed})")


def case_busy_cursor(env):
    """While a launch action patches, the busy cursor shows; the old one is back before any message
    box, after a success and after a failure alike. (Its trace from the start also shows the error
    mode set before the first file call.)"""
    game = env.make_game()
    folder = env.make_tool(win_path(game) + "\\")
    env.wine.run("reg", "add", RELAY_KEY, "/v", "RelayInclude", "/d", RELAY_CURSOR, "/f")
    tool = env.start(folder, trace_calls=True)
    game_name = os.path.basename(env.scratch)
    check_error_mode_first(tool)
    # The state reader opens game files too, on its own thread: each launch is traced once it is done.
    wait_state_line(tool)

    def launch_events():
        text = tool.traced()
        start = len(text)
        return lambda: relay_events(tool.traced()[start:])

    since = launch_events()
    tool.click(PATCHED)
    wait_launches(game, 1)
    wait_until(lambda: any(name == "ShellExecuteW" for _, name, _, _ in since()), 20, "the launcher call in the trace")
    check_busy_cursor(since(), game_name, failed=False)
    wait_state_line(tool)

    # A folder where the stock data file goes: the official launch's second operation fails.
    data = os.path.join(game, sorted(env.stock.files)[0])
    os.remove(data)
    os.makedirs(data)
    env.wine.give(env.scratch)
    since = launch_events()
    tool.click(OFFICIAL)
    check(tool.message_box() is not None, "no message box after the failed data install")
    tool.dismiss_message_box("提示")
    wait_launches(game, 2)
    wait_until(lambda: any(name == "ShellExecuteW" for _, name, _, _ in since()), 20, "the launcher call in the trace")
    check_busy_cursor(since(), game_name, failed=True)
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


# ---- The game's state line, and the running client ----

def place_official_data(env, game):
    """The data files as the game shipped them: neither set of the tool's."""
    for name in env.stock.files:
        path = os.path.join(game, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(env.original(name))


def wait_state_line(tool, expected=None, timeout=60):
    """The state line once the reader is done; it must say `expected` (None: anything)."""
    seen = wait_until(lambda: (lambda text: text if text not in ("", STATE_CHECKING) else None)(
        tool.state().get("gamestate", "")), timeout, f"the state line to say {expected or 'the state'!r}")
    check(expected is None or seen == expected, f"the state line says {seen!r}, expected {expected!r}")
    return seen


def change_since_patched(env, game):
    """A game update after the patch: one package file rewritten with the update's bytes."""
    name = env.upk[0]
    with open(os.path.join(game, name), "wb") as f:
        f.write(b"updated " + name.encode())
    return "当前：混合版本（1个文件在打补丁后被改动，数据文件为反和谐版）"


def reader_file_calls(text):
    """(thread, on the dialog's thread) of each package file opened after the last launcher start:
    the reads of the state after that press. The dialog's thread is the one that starts the launcher."""
    calls = re.findall(r"([0-9a-f]+):Call [\w.-]+\.(\w+)\((.*?)\) ret=", text)
    dialog = {tid for tid, name, _ in calls if name == "ShellExecuteW"}
    last = max(i for i, (_, name, _) in enumerate(calls) if name == "ShellExecuteW")
    return [(tid, tid in dialog) for tid, name, args in calls[last:] if name == "CreateFileW" and ".upk" in args]


def case_game_state(env):
    """The line tells the state at start, for an official and a patched tree, and after each press;
    the files are read off the dialog's thread."""
    game = env.make_game()
    place_official_data(env, game)
    folder = env.make_tool(win_path(game) + "\\")
    env.wine.run("reg", "add", RELAY_KEY, "/v", "RelayInclude", "/d", "shell32.ShellExecuteW;CreateFileW", "/f")
    tool = env.start(folder, trace_calls=True)
    wait_state_line(tool, STATE_OFFICIAL)
    for button, expected, count in ((PATCHED, STATE_PATCHED, 1), (SUMMONER, STATE_SUMMONER, 2),
                                    (OFFICIAL, STATE_OFFICIAL, 3), (PATCHED, STATE_PATCHED, 4)):
        tool.click(button)
        wait_launches(game, count)
        check(tool.message_box(0) is None, f"press {count} reported a failure")
        wait_state_line(tool, expected)
        check_buttons(tool, tool.state(), launch_enabled=True)
    reads = reader_file_calls(tool.traced())
    check(reads, "the state after the last press was read without opening a package file")
    check(not any(on_dialog for _, on_dialog in reads), f"{sum(d for _, d in reads)} package files were read on the dialog's thread")
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    env.wine.run("reg", "add", RELAY_KEY, "/v", "RelayInclude", "/d", "user32.MessageBoxW;shell32.ShellExecuteW", "/f")
    # A new start over the patched tree, and over one a game update changed since.
    tool = env.start(folder)
    wait_state_line(tool, STATE_PATCHED)
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    mixed = change_since_patched(env, game)
    tool = env.start(folder)
    wait_state_line(tool, mixed)
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


def case_game_state_dpi(env):
    """The line fits its strip at 96 and 144 DPI: its longest text, the mixed state's, in every test
    run; every state, with screenshots for the docs, when MORVELT_E2E_PICTURES=1."""
    game = env.make_game()
    place_official_data(env, game)
    # The pictures show the game as C:\Games\BNS\ (a link in the Wine prefix), as scripts/run.sh does.
    prefix = subprocess.run(["bash", "-c", '. "$1" && printf "%s" "$WINEPREFIX"', "bash",
                             os.path.join(os.path.dirname(env.wine.wine_run), "wine-env.sh")],
                            env=env.wine.env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
                            check=True).stdout.strip()
    link = os.path.join(prefix, "drive_c", "Games", "BNS")
    os.makedirs(os.path.dirname(link), exist_ok=True)
    if os.path.lexists(link):
        os.remove(link)
    os.symlink(game, link)
    folder = env.make_tool("C:\\Games\\BNS\\")
    presses = (("official", None, STATE_OFFICIAL), ("patched", PATCHED, STATE_PATCHED),
               ("summoner", SUMMONER, STATE_SUMMONER), ("mixed", PATCHED, None))
    every_state = os.environ.get("MORVELT_E2E_PICTURES") == "1"
    count = 0
    try:
        for name, button, expected in presses:
            if button is not None:
                count += 1
                env.wine.run("reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f")
                tool = env.start(folder)
                tool.click(button)
                wait_launches(game, count)
                check(tool.escape() == 2, "Esc must end the tool with exit code 2")
            if expected is None:
                expected = change_since_patched(env, game)
            elif not every_state:
                continue
            for dpi in (96, 144):
                env.wine.run("reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f")
                tool = env.start(folder)
                wait_state_line(tool, expected)
                _, _, items = layout(tool)
                line = [item for item in items if item[1] == GAME_STATE]
                check(len(line) == 1, f"no state line among {items}")
                _, _, width, text_width, text = line[0]
                check(text_width <= width, f"at {dpi} DPI {text!r} is {text_width} px wide in a {width} px line")
                print("screenshot:", env.display.screenshot(env.artefact(f"state-{name}-{dpi}.png"), tool.window))
                check(tool.escape() == 2, "Esc must end the tool with exit code 2")
    finally:
        env.wine.run("reg", "add", DPI_KEY, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "96", "/f")
        os.remove(link)


def case_client_running(env):
    """While the game's client runs from the game directory, a press changes no file, starts no
    launcher, and a box says why; once the client has ended, the same press works."""
    if env.args.client is None:
        raise Skip("no stand-in client given (--client)")
    game = env.make_game()
    place_official_data(env, game)
    shutil.copy(env.args.client, os.path.join(game, "bin", "Client.exe"))
    # The tool is told the directory in other letters: Windows names it all the same.
    folder = env.make_tool(win_path(game).upper() + "\\")
    release = os.path.join(env.scratch, "release")
    env.wine.give(env.scratch)
    client = subprocess.Popen([env.wine.wine_run, os.path.join(game, "bin", "Client.exe"),
                               win_path(os.path.join(game, env.upk[0])), win_path(release), "120000"],
                              env=env.wine.env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              start_new_session=True)
    try:
        check(client.stdout.readline().strip() == b"held=1", "the stand-in client could not hold its file")
        tool = env.start(folder, trace_calls=True)
        wait_state_line(tool, STATE_OFFICIAL)
        before = file_identities(game)
        tool.click(PATCHED)
        box = wait_until(tool.message_box, 60, "the box that the game runs")
        check(box.get("caption") == "提示" and box.get("text") == GAME_RUNNING, f"the box showed {box}")
        calls = tool.message_box_calls()
        check(calls and calls[-1][1] & (MB_ICONWARNING | MB_TOPMOST) == MB_ICONWARNING | MB_TOPMOST,
              f"the box's flags are {calls}")
        print("screenshot:", env.display.screenshot(env.artefact("client-running.png")))
        tool.dismiss_message_box("提示")
        check(file_identities(game) == before, "a press while the client ran changed the game's files")
        check(launches(game) == 0, "a press while the client ran started the launcher")
        check(tool.shell_calls() == [], f"a press while the client ran reached the shell: {tool.shell_calls()}")
        wait_state_line(tool, STATE_OFFICIAL)
    finally:
        with open(release, "w"):
            pass
        client.wait(timeout=60)
    tool.click(PATCHED)
    wait_launches(game, 1)
    check(tool.message_box(0) is None, "the press after the client ended reported a failure")
    wait_state_line(tool, STATE_PATCHED)
    check(tool.escape() == 2, "Esc must end the tool with exit code 2")


CASES = {
    "NoGameDirectory": case_no_game_directory,
    "LaunchActions": case_launch_actions,
    "FailingInstall": case_failing_install,
    "Keyboard": case_keyboard,
    "ChooseLauncher": case_choose_launcher,
    "Dpi": case_dpi,
    "BusyCursor": case_busy_cursor,
    "UnicodeSettings": case_unicode_settings,
    "HeldPress": case_held_press,
    "CloseDuringPress": case_close_during_press,
    "GameState": case_game_state,
    "GameStateDpi": case_game_state_dpi,
    "ClientRunning": case_client_running,
}


def parse_args(description, cases, add_arguments=None):
    """The command line every end-to-end script takes; add_arguments adds a script's own."""
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("--case", required=True, choices=sorted(cases))
    if add_arguments is not None:
        add_arguments(parser)
    for name in ("morvelt", "launcher", "probe", "package", "patched", "stock", "out"):
        parser.add_argument("--" + name, required=True)
    parser.add_argument("--client", help="the stand-in game client (ClientRunning)")
    parser.add_argument("--wine-run", default=os.path.join(os.path.dirname(__file__), "..", "..", "scripts",
                                                           "wine-run.sh"))
    args = parser.parse_args()
    args.wine_run = os.path.abspath(args.wine_run)
    return args


def run_case(args, run, failure_shot):
    """Runs one case on a fresh display and Wine session; prints PASS, FAIL or SKIP and returns
    the exit code ctest reads. A failure keeps a screenshot named failure_shot."""
    for tool in ("Xvfb", "xdotool", "import"):
        if shutil.which(tool) is None:
            print(f"SKIP: {tool} is not installed (scripts/setup.sh installs it)")
            return SKIP
    env = None
    try:
        env = Env(args)
        run(env)
    except Skip as skip:
        print("SKIP:", skip)
        return SKIP
    except Failure as failure:
        print("FAIL:", failure)
        if env is not None:
            print("screenshot at failure:", env.display.screenshot(env.artefact(failure_shot)))
        return 1
    finally:
        if env is not None:
            env.close()
    print("PASS:", args.case)
    return 0


def main():
    args = parse_args(__doc__.splitlines()[0], CASES)
    return run_case(args, CASES[args.case], f"failed-{args.case}.png")


if __name__ == "__main__":
    sys.exit(main())
