# Shared start of the end-to-end scripts that drive the real program on a virtual X display.
# A script names the tools it needs besides the X server in x_tools, then sources this file
# with its own arguments:
#   x_tools="xdotool od"; source "$(dirname "$0")/../testkit/XSession.sh" "$@"
# Without a tool it is skipped (exit 77). Otherwise it runs again inside xvfb-run and gets
# $work (a scratch folder removed at exit), $pid (set it to the program's process id; the
# program is killed at exit if it still runs) and fail MESSAGE (prints MESSAGE and the
# program's output from $work/log.txt, then exits 1).
for tool in xvfb-run Xvfb xauth ${x_tools:-}; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIPPED: $tool is not installed (tools/packages.txt lists the X tools)"
        exit 77
    fi
done

if [[ -z "${SONLET_E2E_INNER:-}" ]]; then
    export SONLET_E2E_INNER=1
    exec xvfb-run -a -s "-screen 0 1280x800x24" "$0" "$@"
fi

work="$(mktemp -d)"
pid=""
cleanup() {
    if [[ -n "$pid" ]] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    [[ -f "$work/log.txt" ]] && sed 's/^/  sonlet: /' "$work/log.txt"
    exit 1
}
