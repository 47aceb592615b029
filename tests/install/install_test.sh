#!/bin/sh
# `cmake --install` into a scratch prefix: every file in its place, the
# login integration naming the installed program and accepted by systemd
# and by the desktop-entry validator, and the installed program drawing
# the installed sample.
#   sh install_test.sh CMAKE BUILD_DIR
set -u
. "$(dirname "$0")/common.sh"
cmake=$1
build=$2
need systemd-analyze desktop-file-validate gzip

prefix="$scratch/prefix"
"$cmake" --install "$build" --prefix "$prefix" >"$scratch/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$scratch/install.log")"

for file in bin/paneloom share/man/man1/paneloom.1.gz share/paneloom/paneloom.xml \
    share/paneloom/sample-input.bmp share/doc/paneloom/copyright share/doc/paneloom/changelog.gz \
    lib/systemd/user/paneloom.service lib/systemd/user/paneloom.timer etc/xdg/autostart/paneloom.desktop; do
    [ -f "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/paneloom" ] || fail "bin/paneloom is not executable"
gzip -t "$prefix/share/man/man1/paneloom.1.gz" || fail "the manual page is not gzip-compressed"

grep -qx "ExecStart=$prefix/bin/paneloom" "$prefix/lib/systemd/user/paneloom.service" ||
    fail "the service does not start the installed program"
grep -qx "TryExec=$prefix/bin/paneloom" "$prefix/etc/xdg/autostart/paneloom.desktop" ||
    fail "the autostart entry does not name the installed program"

# Verified as the user's units, without a running systemd: the manager
# needs a runtime directory, and the Documentation= page must be found.
mkdir -m 700 "$scratch/run"
verdict=$(cd "$prefix/lib/systemd/user" && XDG_RUNTIME_DIR="$scratch/run" MANPATH="$prefix/share/man" \
    systemd-analyze --user verify ./paneloom.service ./paneloom.timer 2>&1) ||
    fail "systemd-analyze verify: $verdict"
[ -z "$verdict" ] || fail "systemd-analyze verify warned: $verdict"

verdict=$(desktop-file-validate "$prefix/etc/xdg/autostart/paneloom.desktop" 2>&1) ||
    fail "desktop-file-validate: $verdict"
[ -z "$verdict" ] || fail "desktop-file-validate warned: $verdict"

check_sample_run "$prefix/share/paneloom" "$prefix/bin/paneloom"
echo "installed tree checked"
