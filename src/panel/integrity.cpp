#include "panel/integrity.h"

#include "frame/owned.h"

#include <cstddef>
#include <cstring>
#include <optional>

namespace ep {

namespace {

// The level is the last sub-authority of the SID in the token's mandatory label.
std::optional<std::uint32_t> integrityLevel(Handle process) {
    Handle raw = 0;
    if (!os().OpenProcessToken(process, TOKEN_QUERY, &raw)) return std::nullopt;
    const OwnedKernelHandle token(raw);
    alignas(TokenMandatoryLabel)
        std::byte buffer[sizeof(TokenMandatoryLabel) + SECURITY_MAX_SID_SIZE] = {};
    std::uint32_t length = 0;
    if (!os().GetTokenInformation(token.get(), TokenIntegrityLevel, buffer, sizeof buffer, &length))
        return std::nullopt;
    TokenMandatoryLabel label;
    std::memcpy(&label, buffer, sizeof label);
    if (!label.Sid) return std::nullopt;
    const std::uint8_t* count = os().GetSidSubAuthorityCount(label.Sid);
    if (!count || *count == 0) return std::nullopt;
    const std::uint32_t* level = os().GetSidSubAuthority(label.Sid, *count - 1u);
    if (!level) return std::nullopt;
    return *level;
}

} // namespace

bool runsAtHigherIntegrity(Hwnd window) {
    std::uint32_t processId = 0;
    if (!window || !os().GetWindowThreadProcessId(window, &processId) || processId == 0)
        return false;
    const std::optional<std::uint32_t> own = integrityLevel(os().GetCurrentProcess());
    if (!own) return false;
    // The limited right is all a lower process may get on a higher one.
    const OwnedKernelHandle process(
        os().OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, false, processId));
    if (!process.get()) return false;
    const std::optional<std::uint32_t> theirs = integrityLevel(process.get());
    return theirs && *theirs > *own;
}

} // namespace ep
