#include "BoundedCall.h"

#include <memory>
#include <mutex>

namespace {

// A call that ran to its end: its handle, or its failure and the server's
// reply, both taken on the thread that made it.
BoundedCall Ended(HINTERNET made, const char* name) {
    const Win32Result failure = made ? Win32Result() : Win32Result::Failed(name);
    return {unique_hinternet(made), failure, true, LastServerReply(failure)};
}

// Shared by the waiting caller and the call's thread; the last to let go
// frees it.
struct CallState {
    std::function<HINTERNET()> call;
    const char* name = nullptr;
    unique_handle finished{::CreateEventA(nullptr, TRUE, FALSE, nullptr)};
    std::mutex lock;
    bool givenUp = false;
    bool done = false;
    BoundedCall ended;
};

DWORD WINAPI RunCall(void* parameter) {
    const std::unique_ptr<std::shared_ptr<CallState>> owner(
        static_cast<std::shared_ptr<CallState>*>(parameter));
    CallState& state = **owner;
    BoundedCall ended = Ended(state.call(), state.name);
    std::lock_guard<std::mutex> hold(state.lock);
    if (state.givenUp)
        return 0; // nobody takes the handle: it closes here
    state.ended = std::move(ended);
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
        return Ended(state->call(), name);
    }
    ::WaitForSingleObject(state->finished.get(), milliseconds);
    std::lock_guard<std::mutex> hold(state->lock);
    if (!state->done) {
        state->givenUp = true;
        return {unique_hinternet(), Win32Result::Failed(name, ERROR_INTERNET_TIMEOUT), false, {}};
    }
    return std::move(state->ended);
}

std::string LastServerReply(const Win32Result& failure) {
    if (failure.Ok())
        return std::string();
    char text[1024] = {};
    DWORD length = sizeof(text) - 1;
    DWORD error = 0;
    // Only a reply the library files under this failure (Wine files a
    // login's refusal under ERROR_FTP_TRANSFER_IN_PROGRESS).
    if (!::InternetGetLastResponseInfoA(&error, text, &length) ||
        (error != failure.Error() && failure.Error() != ERROR_INTERNET_EXTENDED_ERROR))
        return std::string();
    return std::string(text, length);
}
