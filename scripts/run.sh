#!/usr/bin/env bash
# Builds what is missing (win32 preset, or win64 where 32-bit programs cannot run), prepares a
# demo game install and starts Morvelt.exe on it under Wine.
#
# The demo lives in build/<preset>/demo/ (or $MORVELT_BUILD_DIR/demo/) and is made afresh on every run:
#   game/TCLS/Launcher.exe   a stand-in launcher that appends "started" to game/TCLS/launched.log
#   game/bin/Client.exe      present, as in a real install
#   game/contents/...        original bytes for a few of the package files the tool replaces
#   tool/Morvelt.exe         a copy of the tool, with tool/Morvelt.ini naming game\ as GamePath
#
# With a DISPLAY the dialog opens there and the script waits until it is closed. Without one it
# runs on a private Xvfb, waits for the dialog, saves a screenshot, prints its path and closes the
# tool with Esc.
#
# --picture: the same unattended run on a private Xvfb (any DISPLAY is ignored), which also saves
# the dialog window alone as docs/morvelt.png, the README's picture. The demo install is reached
# as C:\Games\BNS\ through a link in the Wine prefix while the tool runs, so that the picture
# shows a path like a player's rather than this checkout's.
set -euo pipefail

picture=0
for arg in "$@"; do
  case "$arg" in
    --picture) picture=1 ;;
    *) printf 'usage: %s [--picture]\n' "$0" >&2; exit 2 ;;
  esac
done

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)"
cd "$root"
umask 022
log() { printf '[run] %s\n' "$*"; }

scripts/setup.sh </dev/null

# The shipped 32-bit build, or the 64-bit one where this machine cannot execute 32-bit programs.
preset=win32
# shellcheck source=wine-arch.sh
. scripts/wine-arch.sh
if ! morvelt_host_runs_32bit; then
  preset=win64
  log "this machine cannot execute 32-bit programs: running the win64 preset's build"
fi
# MORVELT_BUILD_DIR: another build directory of that preset (default: the preset's own).
build="${MORVELT_BUILD_DIR:-build/$preset}"
if [ ! -f "$build/CMakeCache.txt" ]; then
  log "configuring the $preset preset in $build"
  cmake --preset "$preset" -B "$build" </dev/null >/dev/null
fi
log "building Morvelt.exe"
cmake --build "$build" -j2 --target Morvelt morvelt_fake_launcher </dev/null >/dev/null
# shellcheck source=/dev/null
. "$build/app/demo-inputs.sh"

demo="$(cd "$build" && pwd -P)/demo"
game="$demo/game"
tool="$demo/tool"
rm -rf "$demo"
mkdir -p "$game/TCLS" "$game/bin" "$tool"
cp "$fake_launcher" "$game/TCLS/Launcher.exe"
cp "$fake_launcher" "$game/bin/Client.exe"
cp "$morvelt_exe" "$tool/Morvelt.exe"
# A few package files as the game shipped them, so the patched launch has something to back up.
python3 - "$package_archive" "$game" <<'PY'
import os, sys, zipfile
archive, game = sys.argv[1], sys.argv[2]
with zipfile.ZipFile(archive) as z:
    names = sorted(n for n in z.namelist() if n.endswith(".upk"))[:5]
for name in names:
    path = os.path.join(game, name)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w") as f:
        f.write("original " + name + "\n")
PY
# Wine shows the Unix root as drive Z:.
game_win="Z:${game//\//\\}\\"

cd "$tool"
MORVELT_WINE_CHECK_PATHS=("$tool/Morvelt.exe")
# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
# The tool writes Morvelt.ini and patches the demo install as the user Wine runs as.
[ -z "${MORVELT_WINE_RUN_AS:-}" ] || chown -R "$MORVELT_WINE_RUN_AS:" "$demo"
picture_link=""
if [ "$picture" -eq 1 ]; then
  unset DISPLAY
  picture_link="$WINEPREFIX/drive_c/Games/BNS"
  morvelt_wine_as_user mkdir -p "$(dirname "$picture_link")"
  morvelt_wine_as_user ln -sfn "$game" "$picture_link"
  game_win='C:\Games\BNS\'
fi
printf '[Config]\r\nGamePath=%s\r\n' "$game_win" >"$tool/Morvelt.ini"
[ -z "${MORVELT_WINE_RUN_AS:-}" ] || chown "$MORVELT_WINE_RUN_AS:" "$tool/Morvelt.ini"
log "demo install: $game (GamePath $game_win)"

if [ -n "${DISPLAY:-}" ]; then
  log "starting Morvelt.exe on $DISPLAY; launches are recorded in $game/TCLS/launched.log"
  status=0
  morvelt_wine Morvelt.exe || status=$?
  log "Morvelt.exe exited with code $status"
  [ "$status" -eq 2 ] && exit 0  # closed by the user (Esc or the close box)
  exit "$status"
fi

# No display: a private Xvfb, one screenshot, then Esc.
for tool_name in Xvfb xdotool import; do
  command -v "$tool_name" >/dev/null || { log "missing $tool_name (scripts/setup.sh installs it)"; exit 1; }
done
displayfile="$(mktemp)"
Xvfb -displayfd 4 -ac -nolisten tcp -screen 0 1024x768x24 4>"$displayfile" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
tool_pid=""
cleanup() {
  [ -z "$tool_pid" ] || kill "$tool_pid" 2>/dev/null || true
  # Wine draws the caption itself only for this run's screenshot.
  morvelt_wine reg delete 'HKCU\Software\Wine\AppDefaults\Morvelt.exe\X11 Driver' /f >/dev/null 2>&1 || true
  [ -z "$picture_link" ] || { rm -f "$picture_link"; rmdir "$(dirname "$picture_link")" 2>/dev/null || true; }
  kill "$xvfb_pid" 2>/dev/null || true
  rm -f "$displayfile"
}
trap cleanup EXIT
for _ in $(seq 100); do [ -s "$displayfile" ] && break; sleep 0.1; done
[ -s "$displayfile" ] || { log "Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$displayfile")"
log "no DISPLAY: running on a private Xvfb ($DISPLAY)"

# No window manager draws the title bar here: let Wine draw it, so the screenshot shows the title.
morvelt_wine reg add 'HKCU\Software\Wine\AppDefaults\Morvelt.exe\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
morvelt_wine Morvelt.exe &
tool_pid=$!

window=""
for _ in $(seq 120); do
  window="$(xdotool search --name '^Vantrel' 2>/dev/null | head -n1 || true)"
  [ -n "$window" ] && break
  kill -0 "$tool_pid" 2>/dev/null || { log "Morvelt.exe ended before its dialog appeared"; exit 1; }
  sleep 0.5
done
[ -n "$window" ] || { log "the dialog did not appear within 60 s"; exit 1; }
sleep 1  # let it paint
shot="$demo/screenshot.png"
import -window root "$shot"
log "screenshot: $shot"
if [ "$picture" -eq 1 ]; then
  # The window alone, without the dates ImageMagick would write into the file.
  mkdir -p "$root/docs"
  import -window "$window" -strip "$root/docs/morvelt.png"
  log "README picture: $root/docs/morvelt.png"
fi

xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key Escape
status=0
for _ in $(seq 60); do kill -0 "$tool_pid" 2>/dev/null || break; sleep 0.5; done
if kill -0 "$tool_pid" 2>/dev/null; then
  log "Morvelt.exe did not close on Esc"
  exit 1
fi
wait "$tool_pid" || status=$?
tool_pid=""
log "Morvelt.exe closed with Esc, exit code $status"
[ "$status" -eq 2 ]
