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
# The Windows build makes its MSIs; the portable zip is CPack's package.
cmake --build --preset windows --target package

passed=0
failed=0
stage() {
    if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); fi
}
stage ctest --preset linux
stage ctest --preset windows
stage ctest --preset asan
stage sh scripts/fuzz.sh "${PANELOOM_FUZZ_SECONDS:-20}"

echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
