#!/usr/bin/env bash
# Fails when the program imports a DLL that Windows does not ship, such as the mingw
# runtime's libstdc++, libgcc or winpthread DLLs.
set -euo pipefail

exe="${1:?usage: check-imports.sh PROGRAM.exe}"
if [[ ! -f "$exe" ]]; then
    echo "FAIL $exe is missing: build the windows preset first (tools/build.sh windows)"
    exit 1
fi

system_dlls='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|shlwapi|ole32|oleaut32|msvcrt|ucrtbase|ntdll|version|winmm|imm32|uxtheme|api-ms-win-.*)\.dll$'
passed=0
failed=0
while read -r dll; do
    if [[ "${dll,,}" =~ $system_dlls ]]; then
        echo "ok   imports $dll"
        passed=$((passed + 1))
    else
        echo "FAIL imports $dll, which Windows does not ship"
        failed=$((failed + 1))
    fi
done < <(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p')

echo "$passed passed, $failed failed"
[[ $passed -gt 0 && $failed -eq 0 ]]
