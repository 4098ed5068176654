// shell32 and ole32 of the simulated desktop: the user's roaming application-data folder, as
// SHGetKnownFolderPath and the older SHGetFolderPathW report it, and the memory the first
// hands out for CoTaskMemFree to free. Either function may be missing, as on a Windows
// without it; the folder exists from the start, as it does for every Windows user.
#include "platform/sim/desktop_state.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace ep::sim {

namespace {

constexpr std::int32_t E_INVALIDARG = static_cast<std::int32_t>(0x80070057u);
constexpr std::int32_t E_FAIL = static_cast<std::int32_t>(0x80004005u);
constexpr int CSIDL_FLAG_MASK = 0xFF00;

bool sameGuid(const Guid& a, const Guid& b) {
    return a.Data1 == b.Data1 && a.Data2 == b.Data2 && a.Data3 == b.Data3 &&
           std::equal(std::begin(a.Data4), std::end(a.Data4), std::begin(b.Data4));
}

} // namespace

void Desktop::setRoamingAppData(const std::wstring& windowsPath) {
    s_->roamingAppData = windowsPath;
    std::filesystem::create_directories(s_->hostPath(windowsPath));
}

void Desktop::setKnownFolderPathMissing(bool missing) { s_->knownFolderPathMissing = missing; }

void Desktop::setFolderPathMissing(bool missing) { s_->folderPathMissing = missing; }

int Desktop::liveTaskAllocations() const { return int(s_->taskAllocations.size()); }

std::int32_t Desktop::SHGetKnownFolderPath(const Guid& folderId, std::uint32_t, Handle,
                                           wchar_t** path) {
    s_->count("SHGetKnownFolderPath");
    if (s_->knownFolderPathMissing) return E_NOTIMPL;
    if (!path) return E_INVALIDARG;
    *path = nullptr;
    if (!sameGuid(folderId, FOLDERID_RoamingAppData)) return E_INVALIDARG;
    const std::wstring& folder = s_->roamingAppData;
    auto memory = std::make_unique<wchar_t[]>(folder.size() + 1);
    std::copy(folder.begin(), folder.end(), memory.get());
    memory[folder.size()] = L'\0';
    *path = memory.get();
    s_->taskAllocations[memory.get()] = std::move(memory);
    return S_OK;
}

std::int32_t Desktop::SHGetFolderPathW(Hwnd, int csidl, Handle, std::uint32_t, wchar_t* path) {
    s_->count("SHGetFolderPathW");
    if (s_->folderPathMissing) return E_NOTIMPL;
    if (!path) return E_INVALIDARG;
    const std::wstring& folder = s_->roamingAppData;
    if ((csidl & ~CSIDL_FLAG_MASK) != CSIDL_APPDATA) return E_INVALIDARG;
    if (folder.size() >= MAX_PATH) return E_FAIL;
    std::copy(folder.begin(), folder.end(), path);
    path[folder.size()] = L'\0';
    return S_OK;
}

// Freeing null does nothing; freeing anything else the shell did not hand out corrupts a
// real heap, so the simulated one refuses loudly.
void Desktop::CoTaskMemFree(void* memory) {
    s_->count("CoTaskMemFree");
    if (!memory) return;
    if (!s_->taskAllocations.erase(memory))
        throw std::logic_error("sim: CoTaskMemFree of memory the shell did not hand out");
}

} // namespace ep::sim
