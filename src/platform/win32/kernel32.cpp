// The kernel32 calls: profile files, threads, time, files, processes, handles and code pages.
#include "platform/win32/backend.h"

namespace ep::win32 {
namespace {

// A thread's start routine, called with the platform's calling convention.
struct ThreadStart {
    ThreadStartRoutine start;
    void* parameter;
};

DWORD WINAPI threadTrampoline(void* started) {
    const ThreadStart call = *static_cast<ThreadStart*>(started);
    delete static_cast<ThreadStart*>(started);
    return call.start(call.parameter);
}

} // namespace

// ---- profile files
std::uint32_t Win32Platform::GetPrivateProfileStringA(const char* appName, const char* keyName,
                                                      const char* defaultValue, char* returned,
                                                      std::uint32_t size, const char* fileName) {
    return ::GetPrivateProfileStringA(appName, keyName, defaultValue, returned, size, fileName);
}
bool Win32Platform::WritePrivateProfileStringA(const char* appName, const char* keyName,
                                               const char* value, const char* fileName) {
    return ::WritePrivateProfileStringA(appName, keyName, value, fileName);
}
std::uint32_t Win32Platform::GetPrivateProfileStringW(const wchar_t* appName,
                                                      const wchar_t* keyName,
                                                      const wchar_t* defaultValue,
                                                      wchar_t* returned, std::uint32_t size,
                                                      const wchar_t* fileName) {
    return ::GetPrivateProfileStringW(appName, keyName, defaultValue, returned, size, fileName);
}
bool Win32Platform::WritePrivateProfileStringW(const wchar_t* appName, const wchar_t* keyName,
                                               const wchar_t* value, const wchar_t* fileName) {
    return ::WritePrivateProfileStringW(appName, keyName, value, fileName);
}

// ---- threads and time
void Win32Platform::Sleep(std::uint32_t ms) { ::Sleep(ms); }
Handle Win32Platform::CreateThread(ThreadStartRoutine start, void* parameter,
                                   std::uint32_t* threadId) {
    auto* started = new ThreadStart{start, parameter};
    DWORD id = 0;
    HANDLE thread = ::CreateThread(nullptr, 0, threadTrampoline, started, 0, &id);
    if (!thread) delete started;
    if (threadId) *threadId = id;
    return from(thread);
}
Handle Win32Platform::GetCurrentThread() { return from(::GetCurrentThread()); }
bool Win32Platform::SetThreadInformation(Handle thread, int informationClass, void* information,
                                         std::uint32_t size) {
    static const auto call =
        systemFunction<SetThreadInformationFn>(L"kernel32.dll", "SetThreadInformation");
    return call && call(as<HANDLE>(thread), static_cast<THREAD_INFORMATION_CLASS>(informationClass),
                        information, size);
}
std::uint32_t Win32Platform::GetTickCount() { return ::GetTickCount(); }

// ---- the module, files and folders
std::uint32_t Win32Platform::GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) {
    return ::GetModuleFileNameW(nullptr, buffer, size);
}
std::uint32_t Win32Platform::GetFileAttributesW(const wchar_t* path) {
    return ::GetFileAttributesW(path);
}
Handle Win32Platform::CreateFileW(const wchar_t* path, std::uint32_t access,
                                  std::uint32_t shareMode, std::uint32_t creationDisposition) {
    return from(::CreateFileW(path, access, shareMode, nullptr, creationDisposition,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
}
bool Win32Platform::ReadFile(Handle file, void* buffer, std::uint32_t count,
                             std::uint32_t* bytesRead) {
    DWORD read = 0;
    const BOOL ok = ::ReadFile(as<HANDLE>(file), buffer, count, &read, nullptr);
    if (bytesRead) *bytesRead = read;
    return ok;
}
bool Win32Platform::GetFileSizeEx(Handle file, std::int64_t* size) {
    LARGE_INTEGER native{};
    const BOOL ok = ::GetFileSizeEx(as<HANDLE>(file), &native);
    if (size) *size = native.QuadPart;
    return ok;
}
bool Win32Platform::WriteFile(Handle file, const void* buffer, std::uint32_t count,
                              std::uint32_t* written) {
    DWORD done = 0;
    const BOOL ok = ::WriteFile(as<HANDLE>(file), buffer, count, &done, nullptr);
    if (written) *written = done;
    return ok;
}
bool Win32Platform::CreateDirectoryW(const wchar_t* path) {
    return ::CreateDirectoryW(path, nullptr);
}
bool Win32Platform::DeleteFileW(const wchar_t* path) { return ::DeleteFileW(path); }

// ---- processes and handles
Handle Win32Platform::GetCurrentProcess() { return from(::GetCurrentProcess()); }
Handle Win32Platform::OpenProcess(std::uint32_t access, bool inherit, std::uint32_t processId) {
    return from(::OpenProcess(access, inherit, processId));
}
Handle Win32Platform::CreateMutexW(bool initialOwner, const wchar_t* name) {
    return from(::CreateMutexW(nullptr, initialOwner, name));
}
std::uint32_t Win32Platform::GetLastError() { return ::GetLastError(); }
bool Win32Platform::CloseHandle(Handle handle) { return ::CloseHandle(as<HANDLE>(handle)); }
[[noreturn]] void Win32Platform::ExitProcess(std::uint32_t exitCode) { ::ExitProcess(exitCode); }

// ---- language and text
std::uint16_t Win32Platform::GetUserDefaultUILanguage() { return ::GetUserDefaultUILanguage(); }
int Win32Platform::WideCharToMultiByte(std::uint32_t codePage, const wchar_t* wide, int wideCount,
                                       char* narrow, int narrowSize) {
    return ::WideCharToMultiByte(codePage, 0, wide, wideCount, narrow, narrowSize, nullptr,
                                 nullptr);
}
int Win32Platform::MultiByteToWideChar(std::uint32_t codePage, const char* narrow, int narrowCount,
                                       wchar_t* wide, int wideSize) {
    return ::MultiByteToWideChar(codePage, 0, narrow, narrowCount, wide, wideSize);
}
void Win32Platform::OutputDebugStringW(const wchar_t* text) { ::OutputDebugStringW(text); }

} // namespace ep::win32
