#include "BoundedCall.h"

#include "UniqueHandle.h"

#include <memory>
#include <mutex>

namespace {

// Shared by the waiting caller and the call's thread; the last to let go
// frees it.
struct CallState {
    std::function<HINTERNET()> call;
    unique_handle finished{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::mutex lock;
    bool givenUp = false;
    bool done = false;
    HINTERNET handle = nullptr;
    DWORD error = ERROR_SUCCESS;
};

DWORD WINAPI RunCall(void* parameter) {
    const std::unique_ptr<std::shared_ptr<CallState>> owner(
        static_cast<std::shared_ptr<CallState>*>(parameter));
    CallState& state = **owner;
    const HINTERNET handle = state.call();
    const DWORD error = ::GetLastError();
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.givenUp) {
        if (handle)
            ::InternetCloseHandle(handle);
        return 0;
    }
    state.handle = handle;
    state.error = error;
    state.done = true;
    ::SetEvent(state.finished.get());
    return 0;
}

} // namespace

BoundedCall CallWithin(DWORD milliseconds, std::function<HINTERNET()> call) {
    auto state = std::make_shared<CallState>();
    state->call = std::move(call);
    auto* parameter = new std::shared_ptr<CallState>(state);
    unique_handle thread(state->finished ? ::CreateThread(nullptr, // default security
                                                          0, RunCall, parameter, 0, nullptr)
                                         : nullptr);
    if (!thread) {
        // No thread to wait for: the call runs here, unbounded, as it would
        // without this guard.
        delete parameter;
        const HINTERNET handle = state->call();
        return {handle, ::GetLastError(), true};
    }
    ::WaitForSingleObject(state->finished.get(), milliseconds);
    std::lock_guard<std::mutex> hold(state->lock);
    if (!state->done) {
        state->givenUp = true;
        return {nullptr, ERROR_INTERNET_TIMEOUT, false};
    }
    return {state->handle, state->error, true};
}
