#!/bin/sh
# What the Wine installation cannot show, read from the packages' tables
# with msitools on the host, and the portable zip's listing.
#   package_tables_test.sh VERSION USER_MSI MACHINE_MSI NEXT_USER_MSI ZIP CPACK_CONFIG
set -u
version=$1 user_msi=$2 machine_msi=$3 next_msi=$4 zip=$5 cpack_config=$6
# Written here, not taken from the build: packages in the field upgrade
# only while these stay.
user_code=773E9E5B-C300-40F0-99D2-D0F845370EA3
machine_code=BB1612ED-4278-4760-AD0D-9BA2EE7252DD
tab=$(printf '\t')
failures=0

fail() {
    echo "FAIL: $*" | tr '\t' '|'
    failures=$((failures + 1))
}

# expect MSI TABLE FIELD...: the table has a row whose first fields are these.
expect() {
    msi=$1 table=$2
    shift 2
    row=$(IFS=$tab; printf '%s' "$*")
    msiinfo export "$msi" "$table" | tr -d '\r' |
        awk -v row="$row" -v tab="$tab" '$0 == row || index($0, row tab) == 1 { found = 1 } END { exit !found }' ||
        fail "$(basename "$msi") $table has no row $row"
}

product_code() { msiinfo export "$1" Property | tr -d '\r' | grep "^ProductCode$tab"; }

# The project's version, the product lines' upgrade codes, 64-bit, and no
# elevation asked for the per-user package (word count 10: compressed, no
# elevation; 2: compressed).
for package in "$user_msi $user_code 10" "$machine_msi $machine_code 2"; do
    set -- $package
    expect "$1" Property ProductVersion "$version"
    expect "$1" Property UpgradeCode "{$2}"
    expect "$1" _SummaryInformation 7 "x64;1033"
    expect "$1" _SummaryInformation 15 "$3"
done
# Installing for every user opens nothing in the program's folder to them:
# no permissions are changed, no folder is made for output, no file is
# installed for them to write.
for package in "$user_msi" "$machine_msi"; do
    name=$(basename "$package")
    msiinfo tables "$package" | grep -qx MsiLockPermissionsEx && fail "$name changes permissions"
    msiinfo export "$package" CreateFolder | tr -d '\r' | awk 'NR > 3' | grep -q . && fail "$name makes a folder"
    # Both logon entries start the Windows-subsystem program.
    msiinfo export "$package" Registry | tr -d '\r' | grep -qF '"[#PaneloomWExe]" "paneloom.xml"' ||
        fail "$name has no logon entry for PaneloomW.exe"
    expect "$package" File PaneloomWExe Program
done
[ "$(product_code "$user_msi")" != "$(product_code "$next_msi")" ] || fail "two versions share a product code"

rm -f "$zip"
cpack --config "$cpack_config" >/dev/null || fail "cpack failed"
top=$(basename "$zip" .zip)
listing=$(cmake -E tar tf "$zip")
for name in Paneloom.exe PaneloomW.exe paneloom.xml Paneloom.bmp README.txt; do
    echo "$listing" | grep -qxF "$top/$name" || fail "the zip has no $top/$name"
done
[ "$(echo "$listing" | grep -c .)" -eq 5 ] || fail "the zip holds more than these five files: $listing"

echo "package tables: $failures failed"
[ "$failures" -eq 0 ]
