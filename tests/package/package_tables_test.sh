#!/bin/sh
# The Windows packages' tables as msitools reads them on the host, and the
# portable zip that CPack makes of the same files.
#   package_tables_test.sh VERSION NEXT_VERSION USER_CODE MACHINE_CODE
#                          USER_MSI MACHINE_MSI NEXT_USER_MSI CPACK_CONFIG ZIP
set -u
version=$1 next=$2 user_code=$3 machine_code=$4
user_msi=$5 machine_msi=$6 next_msi=$7 cpack_config=$8 zip=$9
tab=$(printf '\t')
failures=0

fail() {
    echo "FAIL: $*" | tr '\t' '|'
    failures=$((failures + 1))
}

# expect MSI TABLE COLUMNS FIELD...: the table has a row whose COLUMNS (a
# cut -f list) are exactly these fields.
expect() {
    msi=$1 table=$2 columns=$3
    shift 3
    row=$(IFS=$tab; printf '%s' "$*")
    msiinfo export "$msi" "$table" | tr -d '\r' | cut -f "$columns" | grep -qxF "$row" ||
        fail "$(basename "$msi") $table has no row $row"
}

property() { msiinfo export "$1" Property | tr -d '\r' | awk -F "$tab" -v name="$2" '$1 == name { print $2 }'; }

sequence() { msiinfo export "$1" InstallExecuteSequence | awk -F "$tab" -v name="$2" '$1 == name { print $3 }'; }

# package MSI VERSION UPGRADE_CODE RUN_ROOT WORD_COUNT
package() {
    msi=$1
    expect "$msi" Property 1- ProductVersion "$2"
    expect "$msi" Property 1- UpgradeCode "{$3}"
    # A 64-bit package; a per-user one asks for no elevation (word count 8).
    expect "$msi" _SummaryInformation 1- 7 "x64;1033"
    expect "$msi" _SummaryInformation 1- 15 "$5"
    expect "$msi" Registry 2- "$4" 'Software\Microsoft\Windows\CurrentVersion\Run' Paneloom \
        '"[#PaneloomExe]" "paneloom.xml"' Logon
    for name in Paneloom.exe paneloom.xml Paneloom.bmp README.txt; do
        expect "$msi" File 3 "$name"
    done
    expect "$msi" Component 1,4 Configuration 384
    expect "$msi" Component 1,4 Picture 384
    expect "$msi" Upgrade 1- "{$3}" "" "$2" "" 1 "" WIX_UPGRADE_DETECTED
    [ "$(sequence "$msi" RemoveExistingProducts)" -gt "$(sequence "$msi" InstallFinalize)" ] ||
        fail "$(basename "$msi") removes the older product before the newer one is in"
    expect "$msi" RemoveFile 1- RemoveFilePicture Output paneloominfo.bmp OUTPUTDIR 2
    expect "$msi" RemoveFile 1- RemoveFolderProgram Program "" INSTALLDIR 2
}

package "$user_msi" "$version" "$user_code" 1 10
expect "$user_msi" Directory 1- INSTALLDIR UserProgramsFolder Paneloom
expect "$user_msi" Directory 1- UserProgramsFolder LocalAppDataFolder Programs
expect "$user_msi" RemoveFile 1- RemoveFileLog Program paneloomerror.log INSTALLDIR 2
[ -z "$(property "$user_msi" ALLUSERS)" ] || fail "the user package installs for all users"

package "$machine_msi" "$version" "$machine_code" 2 2
expect "$machine_msi" Property 1- ALLUSERS 1
expect "$machine_msi" Directory 1- INSTALLDIR ProgramFiles64Folder Paneloom
expect "$machine_msi" File 3 paneloomerror.log
expect "$machine_msi" MsiLockPermissionsEx 1-3 OutputForUsers OUTPUTDIR CreateFolder
expect "$machine_msi" MsiLockPermissionsEx 1-3 LogForUsers LogFile File

# Each version is its own product of the same line.
package "$next_msi" "$next" "$user_code" 1 10
[ "$(property "$user_msi" ProductCode)" != "$(property "$next_msi" ProductCode)" ] ||
    fail "two versions share a product code"

rm -f "$zip"
cpack --config "$cpack_config" >/dev/null || fail "cpack failed"
listing=$(cmake -E tar tf "$zip")
top=$(basename "$zip" .zip)
for name in Paneloom.exe paneloom.xml Paneloom.bmp README.txt output/; do
    echo "$listing" | grep -qxF "$top/$name" || fail "the zip has no $top/$name"
done

echo "package tables: $failures failed"
[ "$failures" -eq 0 ]
