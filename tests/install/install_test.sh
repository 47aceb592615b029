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

# A oneshot service has no start timeout of its own: without one, a run
# that hangs keeps the timer from ever starting another.
grep -Eqx 'TimeoutStartSec=[1-9][0-9]*(s|min)?' "$prefix/lib/systemd/user/paneloom.service" ||
    fail "the service gives a hung run no time limit"

# The autostart entry's command, run as a session would run it, with a
# systemctl that answers for the timer: it stands aside only while the
# timer is active, not while it is merely enabled (a session without a
# user manager enables it but never runs it).
stubs="$scratch/stubs"
mkdir -p "$stubs"
cat >"$stubs/systemctl" <<'STUB'
#!/bin/sh
case " $* " in
*" is-active "*) exit "$TIMER_ACTIVE" ;;
*" is-enabled "*) exit "$TIMER_ENABLED" ;;
esac
exit 1
STUB
chmod +x "$stubs/systemctl"
# Exec= is a desktop-entry string (\\ stands for \), then a shell command.
command=$(sed -n 's/^Exec=//p' "$prefix/etc/xdg/autostart/paneloom.desktop" | sed 's/\\\\/\\/g')
for state in "enabled-inactive 0 3 yes" "enabled-active 0 0 no" "disabled-inactive 1 3 yes"; do
    set -- $state
    home="$scratch/home-$1"
    mkdir -p "$home/.config/paneloom"
    cp "$prefix/share/paneloom/paneloom.xml" "$prefix/share/paneloom/sample-input.bmp" "$home/.config/paneloom/"
    (cd "$scratch" && env -u DISPLAY -u WAYLAND_DISPLAY -u SWAYSOCK -u DBUS_SESSION_BUS_ADDRESS \
        -u XDG_CURRENT_DESKTOP -u XDG_SESSION_TYPE -u XDG_SESSION_DESKTOP -u DESKTOP_SESSION \
        GSETTINGS_BACKEND=memory PATH="$stubs:/usr/bin:/bin" HOME="$home" TIMER_ENABLED=$2 TIMER_ACTIVE=$3 \
        sh -c 'eval "$1"' sh "$command") >/dev/null 2>&1
    ran=no
    [ -f "$home/.config/paneloom/sample-output.bmp" ] && ran=yes
    [ "$ran" = "$4" ] || fail "the autostart entry ran: $ran, with the timer $1 (expected $4)"
done

verdict=$(desktop-file-validate "$prefix/etc/xdg/autostart/paneloom.desktop" 2>&1) ||
    fail "desktop-file-validate: $verdict"
[ -z "$verdict" ] || fail "desktop-file-validate warned: $verdict"

check_sample_run "$prefix/share/paneloom" "$prefix/bin/paneloom"
echo "installed tree checked"
