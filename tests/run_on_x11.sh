#!/usr/bin/env bash
# Runs a test program on the X server the test script started (QB_TEST_X11_DISPLAY); without
# one, reports the test as skipped (77).
[ -n "${QB_TEST_X11_DISPLAY:-}" ] || exit 77
export DISPLAY="$QB_TEST_X11_DISPLAY" QT_QPA_PLATFORM=xcb
exec "$@"
