// The least a hot-strip detector must do: every 100 ms read the cursor, find the window under
// it and its top-level window, read both class names and the top-level rectangle. The
// docking benchmark sets Edgepad's cost per tick beside this program's.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace {

constexpr UINT kTickMs = 100;
LONG servedHits = 0; // the exit code, so that the test is not dropped

void CALLBACK onTick(HWND, UINT, UINT_PTR, DWORD) {
    POINT cursor{};
    GetCursorPos(&cursor);
    HWND hit = WindowFromPoint(cursor);
    HWND top = GetAncestor(hit, GA_ROOT);
    char hitClass[128] = {};
    char topClass[128] = {};
    GetClassNameA(hit, hitClass, sizeof hitClass);
    GetClassNameA(top, topClass, sizeof topClass);
    RECT rect{};
    GetWindowRect(top, &rect);
    if (cursor.x >= rect.left && cursor.x < rect.left + 30 && hitClass[0] == 'S') ++servedHits;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    SetTimer(nullptr, 0, kTickMs, onTick);
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0)
        DispatchMessageA(&msg);
    return int(servedHits);
}
