# Shared by the install, package and manual page tests (sourced): failing
# with a reason, a scratch directory removed at exit, the tools a test
# needs, and one run of the sample.

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

scratch=$(mktemp -d "${TMPDIR:-/tmp}/paneloom-test.XXXXXX")
trap 'rm -rf "$scratch"' EXIT

# A missing tool fails the test with its reason; it never skips.
need() {
    for tool in "$@"; do
        command -v "$tool" >/dev/null 2>&1 || fail "$tool is not installed (sh scripts/setup.sh installs it)"
    done
}

# Runs PROGRAM on the sample configuration and picture found in SHARE (an
# installed share/paneloom), in a scratch directory, with no desktop session
# in reach so that nobody's wallpaper changes and a cache folder in the
# scratch directory, not the user's; checks that the picture is
# written, with text drawn on it, and that nothing was logged.
check_sample_run() {
    share=$1
    program=$2
    work="$scratch/sample"
    mkdir -p "$work"
    cp "$share/paneloom.xml" "$share/sample-input.bmp" "$work/" || fail "no sample in $share"
    status=0
    (cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u DBUS_SESSION_BUS_ADDRESS \
        -u XDG_CURRENT_DESKTOP -u XDG_SESSION_TYPE -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION \
        GSETTINGS_BACKEND=memory XDG_CACHE_HOME="$scratch/cache" "$program") || status=$?
    [ "$status" -eq 0 ] || fail "$program ended with exit code $status on the sample"
    [ ! -e "$work/paneloomerror.log" ] || fail "the sample run logged: $(cat "$work/paneloomerror.log")"
    [ -f "$work/sample-output.bmp" ] || fail "the sample run wrote no picture"
    [ "$(head -c 2 "$work/sample-output.bmp")" = "BM" ] || fail "the sample picture is not a .bmp file"
    [ "$(wc -c <"$work/sample-output.bmp")" -eq "$(wc -c <"$work/sample-input.bmp")" ] ||
        fail "the sample picture's size differs from its input's"
    ! cmp -s "$work/sample-input.bmp" "$work/sample-output.bmp" || fail "nothing was drawn on the sample picture"
}
