#!/bin/sh
# The project's test command: installs what is missing, builds both builds
# (native Linux and Windows through mingw-w64) and runs every test, the
# Windows ones under Wine in a scratch prefix inside build/windows; then the
# whole Linux suite again under AddressSanitizer and UBSan, and every fuzz
# target for a short time on its seeds.
set -eu
cd "$(dirname "$0")/.."

sh scripts/setup.sh

for preset in linux windows asan; do
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$(nproc)"
done

status=0
ctest --preset linux || status=1
ctest --preset windows || status=1
ctest --preset asan || status=1
sh scripts/fuzz.sh "${PANELOOM_FUZZ_SECONDS:-20}" || status=1
exit $status
