#!/bin/sh
# Installs what the builds and their tests need, from Debian's packages.
# Safe to run again: apt skips what is already there.
#   sh scripts/setup.sh          everything: both builds, every test, packaging
#   sh scripts/setup.sh native   the native Linux build and its sample run only
set -eu

NATIVE="
  cmake ninja-build g++ pkg-config libgtest-dev googletest
  libfreetype-dev libfontconfig-dev libharfbuzz-dev libfribidi-dev
  fontconfig fonts-liberation2 fonts-dejavu-core fonts-wqy-microhei
  libpng-dev libjpeg-dev libwebp-dev libpixman-1-dev
"
# Everything else: the sanitizer, fuzz and Windows builds, the packages and
# their checks. The desktop tests start real desktop services: a session bus
# with dconf (and the Cinnamon and MATE schemas) and xfconfd, an X server
# with feh (xrandr tells its size), a headless sway with swaybg. djpeg is
# what the composing benchmark is measured against. xfconf-query needs libxfconf-0-3,
# which its package only recommends. The Windows fault tests measure the
# program's memory under Wine with /usr/bin/time.
REST="
  clang libclang-rt-14-dev llvm libbenchmark-dev libjpeg-turbo-progs
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-tools
  wine64 wine msitools wixl time
  libglib2.0-bin gsettings-desktop-schemas dconf-gsettings-backend
  util-linux iproute2
  dpkg-dev file lintian groff-base man-db systemd desktop-file-utils
  dbus dconf-service mate-desktop-common cinnamon-desktop-data
  xfconf libxfconf-0-3
  xvfb x11-apps x11-utils x11-xserver-utils feh
  sway swaybg grim
"

case "${1:-all}" in
native) PACKAGES=$NATIVE ;;
all) PACKAGES="$NATIVE $REST" ;;
*)
    echo "usage: sh scripts/setup.sh [native]" >&2
    exit 2
    ;;
esac

missing=""
for package in $PACKAGES; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing="$missing $package"
    fi
done

if [ -n "$missing" ]; then
    SUDO=""
    if [ "$(id -u)" != "0" ]; then SUDO="sudo"; fi
    $SUDO apt-get update
    # shellcheck disable=SC2086
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends $missing
fi
