#pragma once
// The outcome of a step built on platform calls: success, or the call that
// failed and the Win32 error it gave, handed back as a value rather than left
// in GetLastError for a caller to find.

#include <windows.h>

class Win32Result {
public:
    Win32Result() = default;

    // The call failed with the calling thread's last error.
    static Win32Result Failed(const char* call) { return Win32Result(call, ::GetLastError()); }
    static Win32Result Failed(const char* call, DWORD error) { return Win32Result(call, error); }

    bool Ok() const { return m_call == nullptr; }
    const char* FailedCall() const { return m_call ? m_call : ""; }
    DWORD Error() const { return m_error; }

private:
    Win32Result(const char* call, DWORD error) : m_call(call), m_error(error) {}

    const char* m_call = nullptr;
    DWORD m_error = ERROR_SUCCESS;
};
