// The calls of the other system libraries: advapi32, shcore, comctl32, dwmapi, shell32, ole32
// and ntdll. All but advapi32's are found at run time.
#include "platform/win32/backend.h"

#include <cstddef>
#include <cstring>

namespace ep::win32 {

// ---- advapi32: process tokens
bool Win32Platform::OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle* token) {
    HANDLE native = nullptr;
    const bool result = ::OpenProcessToken(as<HANDLE>(process), desiredAccess, &native);
    *token = from(native);
    return result;
}
// The seam's TokenMandatoryLabel is the platform's TOKEN_MANDATORY_LABEL, byte for byte.
bool Win32Platform::GetTokenInformation(Handle token, int infoClass, void* info,
                                        std::uint32_t length, std::uint32_t* returnLength) {
    static_assert(sizeof(TokenMandatoryLabel) == sizeof(TOKEN_MANDATORY_LABEL));
    static_assert(offsetof(TOKEN_MANDATORY_LABEL, Label.Attributes) ==
                  offsetof(TokenMandatoryLabel, Attributes));
    DWORD returned = 0;
    const bool result = ::GetTokenInformation(as<HANDLE>(token), TOKEN_INFORMATION_CLASS(infoClass),
                                              info, length, &returned);
    if (returnLength) *returnLength = returned;
    return result;
}
std::uint8_t* Win32Platform::GetSidSubAuthorityCount(void* sid) {
    return ::GetSidSubAuthorityCount(sid);
}
std::uint32_t* Win32Platform::GetSidSubAuthority(void* sid, std::uint32_t subAuthority) {
    return reinterpret_cast<std::uint32_t*>(::GetSidSubAuthority(sid, subAuthority));
}

// ---- shcore, Windows 8.1 on: display scale
std::int32_t Win32Platform::SetProcessDpiAwareness(int value) {
    static const auto call =
        systemFunction<SetProcessDpiAwarenessFn>(L"shcore.dll", "SetProcessDpiAwareness");
    return call ? call(value) : E_NOTIMPL;
}
std::int32_t Win32Platform::GetDpiForMonitor(Hmonitor monitor, int dpiType, std::uint32_t* dpiX,
                                             std::uint32_t* dpiY) {
    static const auto call = systemFunction<GetDpiForMonitorFn>(L"shcore.dll", "GetDpiForMonitor");
    if (!call) return E_NOTIMPL;
    UINT x = 0, y = 0;
    const HRESULT result = call(as<HMONITOR>(monitor), dpiType, &x, &y);
    *dpiX = x;
    *dpiY = y;
    return result;
}

// ---- comctl32 6
std::int32_t Win32Platform::LoadIconWithScaleDown(int resourceId, int cx, int cy, Hicon* icon) {
    static const auto call =
        systemFunction<LoadIconWithScaleDownFn>(L"comctl32.dll", "LoadIconWithScaleDown");
    if (!call) return E_NOTIMPL;
    HICON native = nullptr;
    const HRESULT result =
        call(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), cx, cy, &native);
    *icon = from(native);
    return result;
}

// ---- dwmapi, Windows Vista on
std::int32_t Win32Platform::DwmGetWindowAttribute(Hwnd hwnd, std::uint32_t attribute, void* value,
                                                  std::uint32_t size) {
    static const auto call =
        systemFunction<DwmGetWindowAttributeFn>(L"dwmapi.dll", "DwmGetWindowAttribute");
    return call ? call(toHwnd(hwnd), attribute, value, size) : E_NOTIMPL;
}

// ---- shell32 and ole32: the user's own folders
std::int32_t Win32Platform::SHGetKnownFolderPath(const Guid& folderId, std::uint32_t flags,
                                                 Handle token, wchar_t** path) {
    static const auto call =
        systemFunction<SHGetKnownFolderPathFn>(L"shell32.dll", "SHGetKnownFolderPath");
    static_assert(sizeof(Guid) == sizeof(GUID));
    GUID native;
    std::memcpy(&native, &folderId, sizeof native);
    if (path) *path = nullptr;
    return call ? call(native, flags, as<HANDLE>(token), path) : E_NOTIMPL;
}
std::int32_t Win32Platform::SHGetFolderPathW(Hwnd owner, int csidl, Handle token,
                                             std::uint32_t flags, wchar_t* path) {
    static const auto call = systemFunction<SHGetFolderPathWFn>(L"shell32.dll", "SHGetFolderPathW");
    return call ? call(toHwnd(owner), csidl, as<HANDLE>(token), flags, path) : E_NOTIMPL;
}
void Win32Platform::CoTaskMemFree(void* memory) {
    static const auto call = systemFunction<CoTaskMemFreeFn>(L"ole32.dll", "CoTaskMemFree");
    if (call) call(memory);
}

// ---- ntdll: the version of Wine, where the program runs on it
const char* Win32Platform::wine_get_version() {
    static const auto call = systemFunction<WineGetVersionFn>(L"ntdll.dll", "wine_get_version");
    return call ? call() : nullptr;
}

} // namespace ep::win32
