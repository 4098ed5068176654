// The Win32 backend, in force for the process's life, and its look-up of the functions found
// at run time. Its calls are defined one file per library, around backend.h.
#include "platform/win32/win32_platform.h"

#include "platform/win32/backend.h"

namespace ep {

FARPROC win32::systemProc(const wchar_t* dll, const char* name) {
    HMODULE module = GetModuleHandleW(dll);
    if (!module) module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (!module) module = LoadLibraryW(dll);
    return module ? GetProcAddress(module, name) : nullptr;
}

namespace {

win32::Win32Platform win32Platform;

} // namespace

void installWin32Platform() { setPlatform(&win32Platform); }

} // namespace ep
