#include "platform/platform.h"

#include <cstdlib>

namespace ep {

namespace {
Platform* current = nullptr;
}

Platform& os() {
    // A call before a backend is installed is a programming error, never a user's.
    if (!current) std::abort();
    return *current;
}

void setPlatform(Platform* platform) { current = platform; }

} // namespace ep
