#!/usr/bin/env bash
# Runs the CTest suite of one build folder; extra arguments go to ctest.
set -euo pipefail
dir="$1"; shift
export QT_QPA_PLATFORM="${QT_QPA_PLATFORM:-offscreen}"
export SDL_AUDIODRIVER="${SDL_AUDIODRIVER:-dummy}"
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}"
export LSAN_OPTIONS="${LSAN_OPTIONS:-suppressions=$(cd "$(dirname "$0")" && pwd)/lsan.supp:print_suppressions=0}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export TSAN_OPTIONS="${TSAN_OPTIONS:-halt_on_error=1:second_deadlock_stack=1}"
ctest --test-dir "$dir" --output-on-failure --no-tests=ignore -j "$(nproc)" "$@"
