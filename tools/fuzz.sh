#!/usr/bin/env bash
# Builds the fuzz targets with clang, libFuzzer, ASan and UBSan, and runs each for SECONDS
# (default 60). Seeds: small constructed files, the regression inputs and the shared corpus.
# A crash leaves its input in build-fuzz/artifacts/; add it to fuzz/regressions/, where the
# ordinary test run replays it.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-60}"
build=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DSONLET_FUZZ=ON -DSONLET_SANITIZE=address -DSONLET_BUILD_GUI=OFF -DSONLET_BUILD_TESTS=OFF \
  -DSONLET_WERROR="${SONLET_WERROR:-OFF}" >/dev/null
cmake --build "$build" -j "$(nproc)"
mkdir -p "$build/artifacts"
export ASAN_OPTIONS="detect_leaks=1:allocator_may_return_null=1"
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
status=0
for target in $(find "$build/fuzz" -maxdepth 1 -type f -executable -name 'fuzz_*' | sort); do
  name=$(basename "$target")
  work="$build/corpus/$name"
  mkdir -p "$work"
  seeds=(fuzz/seeds fuzz/regressions)
  [ -d ../shared/corpus ] && seeds+=(../shared/corpus)
  echo "== $name for ${seconds}s"
  # GLib and libinstpatch keep no frame pointers: only the slow unwinder sees which of them
  # allocated what the leak check finds, so that the library's own leaks can be told apart.
  unwind=""
  [ "$name" = fuzz_bank ] && unwind=":fast_unwind_on_malloc=0"
  # Inputs stay small (4 KiB), so a few MiB of allocation means a length was trusted blindly.
  if ! ASAN_OPTIONS="$ASAN_OPTIONS$unwind" "$target" "$work" "${seeds[@]}" \
       -max_total_time="$seconds" -max_len=4096 -rss_limit_mb=1024 -malloc_limit_mb=64 \
       -timeout=10 -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$name-" 2>"$build/$name.log"; then
    tail -n 40 "$build/$name.log"
    status=1
  else
    grep -E 'stat::number_of_executed_units|Done' "$build/$name.log" | tail -n 2 || true
  fi
done
exit $status
