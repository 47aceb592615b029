#!/bin/sh
# Installs what the build needs, builds it, draws the sample configuration
# (examples/paneloom.xml) on a generated picture and writes the result as a
# PNG to look at:
#   sh scripts/run-sample.sh            # Linux build: examples/output/sample-linux.png
#   sh scripts/run-sample.sh windows    # Windows build under Wine: examples/output/sample-win32.png
# The Linux program runs without a desktop session, so your wallpaper is
# left alone; the Windows one changes only the build's own Wine prefix.
set -eu
cd "$(dirname "$0")/.."
preset="${1:-linux}"
if [ "$preset" = linux ]; then
    sh scripts/setup.sh native
else
    sh scripts/setup.sh
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j 2 --target run
