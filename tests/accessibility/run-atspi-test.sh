#!/usr/bin/env bash
# Runs the program as a screen reader meets it: on an X display of its own, with a
# private session bus and accessibility bus, Qt's AT-SPI bridge on, and atspi_client.py
# reading and driving its window. Exits 77, saying why, where the machine lacks Xvfb,
# D-Bus, the AT-SPI bus launcher or pyatspi.
#
#   run-atspi-test.sh LOOPWREN SONG [--dump]
#
# --dump prints the main window's accessible tree even when every check passes.
set -uo pipefail

here=$(cd "$(dirname "$0")" && pwd)
launcher=/usr/libexec/at-spi-bus-launcher

# Second stage, inside dbus-run-session: the accessibility bus, the program and the client.
if [ "${1-}" = --on-session-bus ]; then
  shift
  exec 2>&1 # the buses' chatter went to bus.log; the test's own goes with its output
  work=$1 python=$2 loopwren=$3
  shift 3
  pids=()
  # shellcheck disable=SC2317 # called by the trap
  stop() {
    local pid
    for pid in "${pids[@]}"; do
      kill "$pid" 2>/dev/null
    done
    for pid in "${pids[@]}"; do
      wait "$pid" 2>/dev/null
    done
  }
  trap stop EXIT
  # Started here rather than by D-Bus activation, so that it is a child of this script and
  # goes with it; it takes its bus (and with it the registry) down when it ends.
  "$launcher" --launch-immediately >>"$work/bus.log" 2>&1 &
  pids+=($!)
  # Asked whether the name is taken, not for the address: a call to org.a11y.Bus before
  # the launcher holds its name would have D-Bus start a second launcher.
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
      org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q true && break
    sleep 0.1
  done
  # The program's place in the list goes first: stop() ends it before the bus.
  SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=xcb QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    "$loopwren" "$work/song.LW" >"$work/loopwren.log" 2>&1 &
  pids=("$!" "${pids[@]}")
  timeout -k 5 50 "$python" "$here/atspi_client.py" --pid "${pids[0]}" --song "$work/song.LW" "$@"
  status=$?
  if [ "$status" -ne 0 ]; then
    echo "--- loopwren's output ---"
    cat "$work/loopwren.log"
    echo "--- the accessibility bus's output ---"
    grep -v 'fd limit' "$work/bus.log"
  fi
  exit "$status"
fi

if [ $# -lt 2 ]; then
  echo "usage: $0 LOOPWREN SONG [--scale S] [--dump]" >&2
  exit 2
fi
loopwren=$1 song=$2
shift 2
# --scale S: the program starts with View > Size at S, as its settings keep it.
scale=1
if [ "${1-}" = --scale ]; then
  scale=$2
fi

skip() {
  echo "SKIP: $*"
  exit 77
}
command -v Xvfb >/dev/null || skip "no Xvfb (Debian: xvfb)"
command -v dbus-run-session >/dev/null || skip "no dbus-run-session (Debian: dbus)"
command -v dbus-send >/dev/null || skip "no dbus-send (Debian: dbus)"
[ -x "$launcher" ] || skip "no $launcher (Debian: at-spi2-core)"
# The Debian interpreter first: pyatspi lives in its dist-packages, which another python3
# on the PATH does not see.
python=
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import pyatspi' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || skip "no pyatspi (Debian: python3-pyatspi, gir1.2-atspi-2.0)"

work=$(mktemp -d "${TMPDIR:-/tmp}/loopwren-atspi.XXXXXX")
xvfb=
cleanup() {
  if [ -n "$xvfb" ]; then
    kill "$xvfb" 2>/dev/null
    wait "$xvfb" 2>/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 143' TERM INT

# A throw-away home: no settings, recent songs or recovery copies of the user's come in,
# and the accessibility bus puts its socket here.
for dir in home config data state cache runtime; do
  mkdir -p "$work/$dir"
done
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_STATE_HOME=$work/state XDG_CACHE_HOME=$work/cache XDG_RUNTIME_DIR=$work/runtime
unset AT_SPI_BUS_ADDRESS WAYLAND_DISPLAY SESSION_MANAGER
if [ "$scale" != 1 ]; then
  mkdir -p "$work/config/loopwren"
  printf '[view]\nscale=%s\n' "$scale" >"$work/config/loopwren/loopwren.conf"
fi
cp "$song" "$work/song.LW"
chmod u+w "$work/song.LW"

# -displayfd: the server picks a free display and writes its number once it takes clients.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" \
  >"$work/xvfb.log" 2>&1 &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || {
  echo "FAIL: Xvfb did not start"
  cat "$work/xvfb.log"
  exit 1
}
# Before the session bus: the services it starts inherit the display.
DISPLAY=:$(head -n 1 "$work/display")
export DISPLAY

timeout -k 5 90 dbus-run-session -- bash "$0" --on-session-bus "$work" "$python" "$loopwren" "$@" \
  2>>"$work/bus.log"
