#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of the build's own:
#   wine-run.sh PREFIX PROGRAM [ARGS...]
#   wine-run.sh PREFIX --stop        ends the prefix's Wine server and what runs on it
# The prefix is made on first use, without any window or download. Its server is started
# persistent, so every later program starts in a tenth of a second rather than in seconds.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY

if [ "${1-}" = --stop ]; then
  if [ -d "$prefix" ]; then
    wineserver -k 2>/dev/null || true
  fi
  exit 0
fi

mkdir -p "$prefix"
(
  flock 9
  # The server and Wine's own services must not keep the caller's output open (ctest waits
  # for it to close) nor the lock. A server that runs already says so and is left alone.
  wineserver -p </dev/null >/dev/null 2>&1 9>&- || true
  if [ ! -e "$prefix/.ready" ]; then
    wineboot --init </dev/null >/dev/null 2>&1 9>&-
    touch "$prefix/.ready"
  fi
) 9>"$prefix.lock"

exec wine "$@"
