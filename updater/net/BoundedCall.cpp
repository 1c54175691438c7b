#include "BoundedCall.h"

#include <memory>
#include <mutex>

namespace {

// Shared by the waiting caller and the call's thread; the last to let go
// frees it.
struct CallState {
    std::function<HINTERNET()> call;
    const char* name = nullptr;
    unique_handle finished{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::mutex lock;
    bool givenUp = false;
    bool done = false;
    unique_hinternet handle;
    Win32Result failure;
};

DWORD WINAPI RunCall(void* parameter) {
    const std::unique_ptr<std::shared_ptr<CallState>> owner(
        static_cast<std::shared_ptr<CallState>*>(parameter));
    CallState& state = **owner;
    const HINTERNET made = state.call();
    const Win32Result failure = made ? Win32Result() : Win32Result::Failed(state.name);
    unique_hinternet handle(made);
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.givenUp)
        return 0; // nobody takes the handle: it closes here
    state.handle = std::move(handle);
    state.failure = failure;
    state.done = true;
    ::SetEvent(state.finished.get());
    return 0;
}

} // namespace

BoundedCall CallWithin(DWORD milliseconds, const char* name, std::function<HINTERNET()> call) {
    auto state = std::make_shared<CallState>();
    state->call = std::move(call);
    state->name = name;
    auto* parameter = new std::shared_ptr<CallState>(state);
    unique_handle thread(state->finished ? ::CreateThread(nullptr, // default security
                                                          0, RunCall, parameter, 0, nullptr)
                                         : nullptr);
    if (!thread) {
        // No thread to wait for: the call runs here, unbounded, as it would
        // without this guard.
        delete parameter;
        const HINTERNET made = state->call();
        const Win32Result failure = made ? Win32Result() : Win32Result::Failed(name);
        return {unique_hinternet(made), failure, true};
    }
    ::WaitForSingleObject(state->finished.get(), milliseconds);
    std::lock_guard<std::mutex> hold(state->lock);
    if (!state->done) {
        state->givenUp = true;
        return {unique_hinternet(), Win32Result::Failed(name, ERROR_INTERNET_TIMEOUT), false};
    }
    return {std::move(state->handle), state->failure, true};
}
