#!/bin/sh
# The Debian package made by CPack, in three steps that share one package:
#   sh package_test.sh build   CPACK BUILD_DIR PACKAGE_DIR   makes it
#   sh package_test.sh run     VERSION PACKAGE_DIR           unpacks and runs it
#   sh package_test.sh lintian PACKAGE_DIR                   asks lintian
set -u
. "$(dirname "$0")/common.sh"
mode=$1
shift

the_package() {
    set -- "$1"/*.deb
    [ $# -eq 1 ] && [ -f "$1" ] || fail "expected one package in $(dirname "$1")"
    echo "$1"
}

case "$mode" in
build)
    cpack=$1
    build=$2
    packages=$3
    need dpkg-deb dpkg-shlibdeps
    rm -rf "$packages"
    "$cpack" -G DEB --config "$build/CPackConfig.cmake" -B "$packages" >"$scratch/cpack.log" 2>&1 ||
        fail "cpack failed: $(cat "$scratch/cpack.log")"
    the_package "$packages"
    ;;
run)
    version=$1
    package=$(the_package "$2") || exit 1
    need dpkg-deb
    depends=$(dpkg-deb -f "$package" Depends)
    # The program's libraries, computed from those it links and named for
    # those it opens at their first use.
    for library in libc6 libfreetype6 libfontconfig1 libstdc++6 libpng16-16 libharfbuzz0b libfribidi0 \
        libjpeg62-turbo libwebp7; do
        echo "$depends" | grep -q "$library (>= " || fail "Depends lacks $library: $depends"
    done
    [ "$(dpkg-deb -f "$package" Version)" = "$version" ] || fail "the package's version is not $version"
    dpkg-deb --ctrl-tarfile "$package" | tar -xOf - ./conffiles | grep -qx /etc/xdg/autostart/paneloom.desktop ||
        fail "the autostart entry is not a conffile"

    root="$scratch/root"
    dpkg-deb -x "$package" "$root" || fail "dpkg-deb -x failed"
    for file in usr/share/man/man1/paneloom.1.gz usr/share/doc/paneloom/copyright \
        usr/share/doc/paneloom/changelog.gz usr/lib/systemd/user/paneloom.service \
        usr/lib/systemd/user/paneloom.timer etc/xdg/autostart/paneloom.desktop; do
        [ -f "$root/$file" ] || fail "$file is not in the package"
    done
    grep -qx "ExecStart=/usr/bin/paneloom" "$root/usr/lib/systemd/user/paneloom.service" ||
        fail "the packaged service does not start /usr/bin/paneloom"
    [ "$("$root/usr/bin/paneloom" --version)" = "paneloom $version" ] || fail "the unpacked program's version"
    check_sample_run "$root/usr/share/paneloom" "$root/usr/bin/paneloom"
    echo "unpacked package checked"
    ;;
lintian)
    package=$(the_package "$1") || exit 1
    need lintian
    status=0
    lintian --pedantic --fail-on error,warning "$package" >"$scratch/lintian.log" 2>&1 || status=$?
    # Root is warned against, not refused: the package is only read.
    grep -v "^running with root privileges" "$scratch/lintian.log"
    [ "$status" -eq 0 ] || fail "lintian reports errors or warnings (above)"
    echo "lintian accepts the package"
    ;;
*)
    fail "unknown step $mode"
    ;;
esac
