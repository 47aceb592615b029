#!/bin/sh
# Regenerates docs/sample.png, the picture the README shows: the sample
# configuration drawn by the Linux build.
#
# The run is made in namespaces of its own (user, host name, network,
# mounts) with a made-up host, DEMO-PC, whose one adapter has a
# documentation address (192.0.2.10), so that the committed picture does not
# describe the network of the machine that drew it. Where namespaces are not allowed it says so and draws this
# machine instead.
set -eu
cd "$(dirname "$0")/.."
sh scripts/setup.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux -j 2 --target paneloom paneloom_sample paneloom_sample_picture

# /sys is mounted afresh so that it shows the new network namespace.
demo='
    hostname demo-pc
    mount -t sysfs sysfs /sys
    ip link add eth0 address 02:00:5e:00:53:0a type dummy 2>/dev/null ||
        ip link add eth0 address 02:00:5e:00:53:0a type bridge
    ip address add 192.0.2.10/24 dev eth0
    ip link set eth0 up
    cmake --build --preset linux --target run
'
if ! unshare --map-root-user --uts --net --mount sh -eu -c "$demo"; then
    echo "docs-picture: no namespaces here; the picture shows this machine" >&2
    cmake --build --preset linux --target run
fi
mkdir -p docs
cp examples/output/sample-linux.png docs/sample.png
echo "Wrote docs/sample.png"
