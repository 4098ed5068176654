#!/usr/bin/env bash
# Fails when the program imports a DLL that Windows does not ship, such as the mingw
# runtime's libstdc++, libgcc or winpthread DLLs, or a function that Windows 7 lacks: the
# program must start there, so it finds the newer functions at run time instead.
set -euo pipefail

exe="${1:?usage: check-imports.sh PROGRAM.exe}"
if [[ ! -f "$exe" ]]; then
    echo "FAIL $exe is missing: build the windows preset first (tools/build.sh windows)"
    exit 1
fi

system_dlls='^(kernel32|user32|gdi32|advapi32|comctl32|comdlg32|shell32|shlwapi|ole32|oleaut32|msvcrt|ucrtbase|ntdll|version|winmm|imm32|uxtheme|api-ms-win-.*)\.dll$'
# Functions that Windows 7 as shipped lacks (Windows 8 and later; the DLL-directory calls
# came to 7 only with an update) and that a program of this kind or its runtime is tempted
# to call: the display-scale calls first, then the pointer, synchronisation and file calls.
newer_than_windows7=(
    SetProcessDpiAwarenessContext SetProcessDpiAwareness GetProcessDpiAwareness
    GetDpiForMonitor GetDpiForWindow GetDpiForSystem GetSystemDpiForProcess
    AdjustWindowRectExForDpi GetSystemMetricsForDpi SystemParametersInfoForDpi
    EnableNonClientDpiScaling GetScaleFactorForMonitor GetDpiForShellUIComponent
    GetThreadDpiAwarenessContext SetThreadDpiAwarenessContext GetWindowDpiAwarenessContext
    GetAwarenessFromDpiAwarenessContext GetDpiFromDpiAwarenessContext
    AreDpiAwarenessContextsEqual IsValidDpiAwarenessContext SetThreadDpiHostingBehavior
    LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI
    SetDialogDpiChangeBehavior SetDialogControlDpiChangeBehavior
    EnableMouseInPointer GetPointerType GetPointerInfo InjectTouchInput
    GetCurrentInputMessageSource IsImmersiveProcess
    WaitOnAddress WakeByAddressSingle WakeByAddressAll GetSystemTimePreciseAsFileTime
    CreateFile2 CopyFile2 GetOverlappedResultEx SetDefaultDllDirectories AddDllDirectory
    RemoveDllDirectory SetProcessMitigationPolicy GetProcessMitigationPolicy
    PrefetchVirtualMemory GetCurrentThreadStackLimits SetThreadDescription GetThreadDescription
    SetThreadInformation GetThreadInformation
)
passed=0
failed=0
dump="$(x86_64-w64-mingw32-objdump -p "$exe")"
while read -r dll; do
    if [[ "${dll,,}" =~ $system_dlls ]]; then
        echo "ok   imports $dll"
        passed=$((passed + 1))
    else
        echo "FAIL imports $dll, which Windows does not ship"
        failed=$((failed + 1))
    fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")

# The import tables list one "address hint name" line per function under each DLL's name.
imported="$(awk '/^[[:space:]]*DLL Name:/ { in_dll = 1; next }
    in_dll && /^\t[0-9a-f]+\t/ { print $NF }' <<<"$dump" | sort -u)"
newer=0
for function in "${newer_than_windows7[@]}"; do
    if grep -qx "$function" <<<"$imported"; then
        echo "FAIL imports $function, which Windows 7 lacks: find it at run time"
        newer=$((newer + 1))
    fi
done
if [[ -z "$imported" ]]; then
    echo "FAIL finds no imported function in $exe"
    failed=$((failed + 1))
elif [[ $newer -eq 0 ]]; then
    echo "ok   imports none of ${#newer_than_windows7[@]} functions newer than Windows 7" \
        "($(wc -l <<<"$imported") functions imported)"
    passed=$((passed + 1))
fi
failed=$((failed + newer))

echo "$passed passed, $failed failed"
[[ $passed -gt 0 && $failed -eq 0 ]]
