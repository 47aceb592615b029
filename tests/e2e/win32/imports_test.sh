#!/bin/sh
# Every library that the program imports is one of Windows' Known DLLs
# (or ntdll, which is always there first), which the loader takes from the
# system folder alone. Any other import is looked for in the program's own
# folder first, where a library of that name planted beside the program, in
# a Downloads folder or one that others may write, would be loaded instead.
#   sh imports_test.sh OBJDUMP PROGRAM
set -u
objdump=$1
program=$2

# The KnownDLLs list of Windows 10 and 11.
known=$(echo " advapi32.dll clbcatq.dll combase.dll comdlg32.dll coml2.dll difxapi.dll gdi32.dll
    gdiplus.dll imagehlp.dll imm32.dll kernel32.dll msctf.dll msvcrt.dll normaliz.dll nsi.dll ntdll.dll
    ole32.dll oleaut32.dll psapi.dll rpcrt4.dll sechost.dll setupapi.dll shcore.dll shell32.dll
    shlwapi.dll user32.dll wldap32.dll ws2_32.dll " | tr -s ' \n' '  ')

imports=$("$objdump" -p "$program" | sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' | tr 'A-Z' 'a-z')
if [ -z "$imports" ]; then
    echo "FAIL: no import table read from $program"
    exit 1
fi
outside=""
for library in $imports; do
    case $known in
        *" $library "*) ;;
        *) outside="$outside $library" ;;
    esac
done
if [ -n "$outside" ]; then
    echo "FAIL: $program imports libraries that are not Known DLLs:$outside"
    exit 1
fi
echo "imports:" $imports
