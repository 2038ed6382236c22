#!/usr/bin/env bash
# Runs a command on a private X desktop of its own: Xvfb on a display no other server holds, a
# window manager (openbox) and a notification area (trayer), each waited for until it answers,
# with QB_TEST_X11_DISPLAY naming the display. All three end with the command, whatever its
# outcome. Without Xvfb the command runs with no desktop, and the tests that need one skip.
set -euo pipefail

command -v Xvfb >/dev/null || exec "$@"

pids=()
finish() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap finish EXIT

# Waits up to 10 s for a condition (a command); false when it never held.
until_true() {
  for _ in $(seq 200); do
    "$@" >/dev/null 2>&1 && return 0
    sleep 0.05
  done
  return 1
}

# Xvfb picks a free display itself and writes its number once it takes connections.
exec {xvfb}< <(exec Xvfb -displayfd 1 -screen 0 1280x800x24 -nolisten tcp 2>/dev/null)
pids+=($!)
read -r -t 30 -u "$xvfb" number || { echo "private desktop: Xvfb did not start" >&2; exit 1; }
export QB_TEST_X11_DISPLAY=":$number"
export DISPLAY="$QB_TEST_X11_DISPLAY"
until_true xprop -root || { echo "private desktop: $DISPLAY does not answer" >&2; exit 1; }

# The desktop tests need the window manager in place, not merely started.
if command -v openbox >/dev/null; then
  openbox --sm-disable >/dev/null 2>&1 &
  pids+=($!)
  wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }
  until_true wm_ready || { echo "private desktop: no window manager" >&2; exit 1; }
fi
# The notification area is there once its panel is a managed window.
if command -v trayer >/dev/null; then
  trayer >/dev/null 2>&1 &
  pids+=($!)
  tray_ready() {
    local w
    for w in $(xprop -root _NET_CLIENT_LIST | sed -n 's/.*# //p' | tr -d ','); do
      xprop -id "$w" WM_CLASS | grep -q '"trayer"' && return 0
    done
    return 1
  }
  until_true tray_ready || { echo "private desktop: no notification area" >&2; exit 1; }
fi

unset DISPLAY
"$@"
