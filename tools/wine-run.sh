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
  # Neither the server nor Wine's own services may hold the caller's output (ctest waits for
  # it to close) or the lock. So a new server gets its services at once, from wineboot with
  # nothing open; left to the first program, they would inherit its output and outlive it.
  # A server that runs already says so (status 2) and is left alone.
  started=0
  wineserver -p </dev/null >/dev/null 2>&1 9>&- && started=1
  if [ ! -e "$prefix/.ready" ]; then
    wineboot --init </dev/null >/dev/null 2>&1 9>&-
    touch "$prefix/.ready"
  elif [ "$started" = 1 ]; then
    wineboot </dev/null >/dev/null 2>&1 9>&-
  fi
) 9>"$prefix.lock"

exec wine "$@"
