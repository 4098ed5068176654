// The real backend of the platform seam: every call forwards to Windows.
#pragma once

namespace ep {

// Makes the Win32 backend the one in force for the rest of the process's life.
void installWin32Platform();

} // namespace ep
