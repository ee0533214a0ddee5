#!/usr/bin/env bash
# The files a desktop and a packager read: the validators accept the AppStream metadata, the
# desktop entry and the manual pages; --help and --version answer before anything else runs;
# an install to a scratch prefix holds them all and lists them in install.txt.
# Arguments: CMAKE BUILD_DIR SOURCE_DIR SONLET SONLET_CLI
set -euo pipefail
cmake_command=$1 build=$2 source=$3 sonlet=$4 cli=$5
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

appstreamcli validate --no-net --strict "$source/data/com.tulvo.Sonlet.metainfo.xml" >/dev/null ||
  fail "appstreamcli rejects the metainfo"
desktop-file-validate "$source/data/com.tulvo.Sonlet.desktop" || fail "desktop-file-validate"
for page in "$source"/data/man/*.1; do
  # groff exits 0 on warnings, so any output counts as a failure.
  warnings=$(groff -man -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "groff warns on $page: $warnings"
done

# No display, a home of its own: the answers must come before the toolkit or the
# installation bookkeeping would touch anything.
run_bare() { env -i HOME="$scratch/home" XDG_DATA_HOME="$scratch/home/data" \
  XDG_CONFIG_HOME="$scratch/home/config" PATH=/usr/bin:/bin "$@"; }
mkdir -p "$scratch/home"
out=$(run_bare "$sonlet" --help) || fail "sonlet --help exits non-zero"
grep -q '^Usage: sonlet \[FILE\]' <<<"$out" || fail "sonlet --help: $out"
[ "$(run_bare "$sonlet" --version)" = "sonlet 0.9.1" ] || fail "sonlet --version"
[ "$(run_bare "$cli" --version)" = "sonlet-cli 0.9.1" ] || fail "sonlet-cli --version"
run_bare "$cli" --help | grep -q 'sonlet-cli info' || fail "sonlet-cli --help"
[ -z "$(ls -A "$scratch/home")" ] || fail "--help or --version wrote: $(find "$scratch/home")"

DESTDIR="$scratch/root" "$cmake_command" --install "$build" --prefix /opt/sonlet-desktop >/dev/null
prefix="$scratch/root/opt/sonlet-desktop"
list=$(find "$prefix" -name install.txt | head -n 1)
[ -n "$list" ] || fail "no install.txt"
for file in share/metainfo/com.tulvo.Sonlet.metainfo.xml share/man/man1/sonlet.1 \
  share/man/man1/sonlet-cli.1 share/applications/com.tulvo.Sonlet.desktop; do
  [ -f "$prefix/$file" ] || fail "$file not installed"
  grep -q "/$file\$" "$list" || fail "install.txt does not list $file"
done
grep -q '^MimeType=.*audio/x-xi;' "$prefix/share/applications/com.tulvo.Sonlet.desktop" ||
  fail "the desktop entry does not open XI files"
echo "desktop files: ok"
