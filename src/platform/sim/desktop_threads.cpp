// Threads, raw input and low-level hooks. The program's threads run in line, one at a time:
// a thread runs from its start until it waits in its message loop, and again whenever
// something reaches it, so every test sees one order of events and no data race.
#include "platform/sim/desktop_state.h"

#include <algorithm>

namespace ep::sim {

template <class F> void Desktop::State::onThread(std::uint32_t id, F fn) {
    const std::uint32_t previous = currentThread;
    currentThread = id;
    try {
        fn();
    } catch (...) {
        currentThread = previous;
        throw;
    }
    currentThread = previous;
}

std::uint32_t Desktop::State::threadOf(Hwnd hwnd) const {
    const Window* w = find(hwnd);
    return w && w->kind != WindowKind::Foreign ? w->threadId : firstThreadId;
}

void Desktop::State::runThreadMessages(std::uint32_t id) {
    auto it = threads.find(id);
    if (it == threads.end() || !it->second.waiting) return;
    onThread(id, [&] {
        // The thread's message loop, played here: take, dispatch, until nothing is left.
        for (;;) {
            auto found = std::find_if(queue.begin(), queue.end(), [&](const Msg& m) {
                return m.hwnd && threadOf(m.hwnd) == id;
            });
            if (found == queue.end()) break;
            const Msg msg = *found;
            queue.erase(found);
            dispatch(msg);
        }
    });
    if (threads[id].quit) endThread(id);
}

void Desktop::State::endThread(std::uint32_t id) {
    ThreadModel& thread = threads[id];
    if (thread.ended) return;
    thread.ended = true;
    thread.waiting = false;
    std::vector<Hwnd> owned;
    for (const auto& [hwnd, w] : windows)
        if (w->kind != WindowKind::Foreign && w->threadId == id) owned.push_back(hwnd);
    onThread(id, [&] {
        for (Hwnd hwnd : owned)
            destroy(hwnd);
    });
    std::erase_if(hooks, [id](const auto& hook) { return hook.second.threadId == id; });
    std::erase_if(rawSinks, [id](const RawInputSink& sink) { return sink.threadId == id; });
}

void Desktop::State::tellInput(std::uint32_t mouseMessage) {
    std::vector<RawInputSink> sinks = rawSinks;
    for (const RawInputSink& sink : sinks) {
        if (!find(sink.target)) continue;
        ++inputEvents;
        queue.push_back(Msg{sink.target, WM_INPUT, 0, 0, std::uint32_t(clock), cursorPos});
        runThreadMessages(sink.threadId);
    }
    std::vector<std::pair<Hhook, HookModel>> installed(hooks.begin(), hooks.end());
    // Named apart, not bound: clang before 16 cannot capture a structured binding.
    for (const auto& entry : installed) {
        const HookModel& hook = entry.second;
        if (!hooks.count(entry.first)) continue;
        ++inputEvents;
        MouseLowLevelHookInfo info;
        info.pt = cursorPos;
        info.time = std::uint32_t(clock);
        onThread(hook.threadId, [&] {
            hook.proc(HC_ACTION, mouseMessage, reinterpret_cast<std::intptr_t>(&info));
        });
        runThreadMessages(hook.threadId);
    }
}

void Desktop::State::tellUnseenMove() {
    if (!handMovedUnseen || currentThread != firstThreadId) return;
    handMovedUnseen = false;
    tellInput(WM_MOUSEMOVE);
}

// ---------------------------------------------------------------- test controls

void Desktop::warpCursor(int x, int y) {
    s_->cursorPos = {x, y};
    s_->callsUntilCursorMove = 0;
}

void Desktop::failThreadCreation(bool fail) { s_->failThreads = fail; }
void Desktop::failRawInputRegistration(bool fail) { s_->failRawInput = fail; }
void Desktop::failMouseHooks(bool fail) { s_->failHooks = fail; }
void Desktop::setThreadInformationMissing(bool missing) { s_->threadInformationMissing = missing; }

int Desktop::liveThreads() const {
    int live = 0;
    for (const auto& [id, thread] : s_->threads)
        live += thread.ended ? 0 : 1;
    return live;
}

int Desktop::rawMouseSinks() const {
    int sinks = 0;
    for (const RawInputSink& sink : s_->rawSinks)
        sinks += s_->find(sink.target) ? 1 : 0;
    return sinks;
}

int Desktop::mouseHooks() const { return int(s_->hooks.size()); }
int Desktop::inputEventsDelivered() const { return s_->inputEvents; }

int Desktop::threadsOutOfPowerThrottling() const {
    int out = 0;
    for (const auto& [id, thread] : s_->threads)
        out += !thread.ended && thread.powerThrottlingOff ? 1 : 0;
    return out;
}

bool Desktop::isMessageOnly(Hwnd hwnd) const {
    const Window* w = s_->find(hwnd);
    return w && w->messageOnly;
}

// ---------------------------------------------------------------- Platform

Handle Desktop::CreateThread(ThreadStartRoutine start, void* parameter, std::uint32_t* threadId) {
    s_->count("CreateThread");
    if (s_->failThreads || !start) {
        s_->lastError = 8; // ERROR_NOT_ENOUGH_MEMORY
        return 0;
    }
    const std::uint32_t id = s_->nextThreadId++;
    s_->threads[id] = ThreadModel{};
    const Handle handle = State::newHandle();
    s_->kernel[handle] = KernelObject{};
    if (threadId) *threadId = id;
    bool waits = false;
    s_->onThread(id, [&] {
        try {
            start(parameter);
        } catch (const ThreadWaits&) {
            waits = true;
        }
    });
    if (waits)
        s_->threads[id].waiting = true;
    else
        s_->endThread(id);
    return handle;
}

Handle Desktop::GetCurrentThread() {
    s_->count("GetCurrentThread");
    return currentThreadPseudoHandle;
}

bool Desktop::SetThreadInformation(Handle thread, int informationClass, void* information,
                                   std::uint32_t size) {
    s_->count("SetThreadInformation");
    if (s_->threadInformationMissing) return false;
    if (thread != currentThreadPseudoHandle || informationClass != ThreadPowerThrottling ||
        size != sizeof(ThreadPowerThrottlingState) || !information) {
        s_->lastError = 87; // ERROR_INVALID_PARAMETER
        return false;
    }
    const auto& state = *static_cast<const ThreadPowerThrottlingState*>(information);
    if (state.Version != THREAD_POWER_THROTTLING_CURRENT_VERSION) {
        s_->lastError = 87;
        return false;
    }
    if (state.ControlMask & THREAD_POWER_THROTTLING_EXECUTION_SPEED) {
        auto it = s_->threads.find(s_->currentThread);
        if (it != s_->threads.end())
            it->second.powerThrottlingOff =
                !(state.StateMask & THREAD_POWER_THROTTLING_EXECUTION_SPEED);
    }
    return true;
}

bool Desktop::RegisterRawInputDevices(const RawInputDevice* devices, std::uint32_t count) {
    s_->count("RegisterRawInputDevices");
    if (s_->failRawInput || !devices || count == 0) return false;
    for (std::uint32_t i = 0; i < count; ++i) {
        const RawInputDevice& device = devices[i];
        // A sink needs a window to send the input to.
        if ((device.dwFlags & RIDEV_INPUTSINK) && !s_->find(device.hwndTarget)) {
            s_->lastError = 87;
            return false;
        }
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const RawInputDevice& device = devices[i];
        // Only a sink hears the mouse while another program has the foreground, which is
        // always so for a window nobody sees.
        if (device.usUsagePage == HID_USAGE_PAGE_GENERIC &&
            device.usUsage == HID_USAGE_GENERIC_MOUSE && (device.dwFlags & RIDEV_INPUTSINK))
            s_->rawSinks.push_back(
                RawInputSink{device.hwndTarget, s_->threadOf(device.hwndTarget)});
    }
    return true;
}

Hhook Desktop::SetWindowsHookExW(int idHook, HookProc proc, std::uint32_t threadId) {
    s_->count("SetWindowsHookExW");
    // A low-level hook is global: it takes no thread.
    if (s_->failHooks || idHook != WH_MOUSE_LL || !proc || threadId != 0) {
        s_->lastError = 1428; // ERROR_HOOK_NEEDS_HMOD, as good as any
        return 0;
    }
    const Hhook hook = State::newHandle();
    s_->hooks[hook] = HookModel{proc, s_->currentThread};
    return hook;
}

bool Desktop::UnhookWindowsHookEx(Hhook hook) {
    s_->count("UnhookWindowsHookEx");
    if (s_->hooks.erase(hook) == 0) {
        s_->lastError = 1404; // ERROR_INVALID_HOOK_HANDLE
        return false;
    }
    return true;
}

std::intptr_t Desktop::CallNextHookEx(Hhook, int, std::uintptr_t, std::intptr_t) {
    s_->count("CallNextHookEx");
    return 0;
}

} // namespace ep::sim
