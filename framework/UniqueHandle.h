#pragma once
// Move-only owner of one platform handle: get(), put(), reset(), release(),
// no copy and no implicit conversion, so a handle is closed exactly once.
// The empty policy says which values mean "no handle".

#include <utility>

template <typename T> struct null_is_empty {
    static constexpr T empty() { return T(); }
    static bool is_valid(T value) { return value != T(); }
};

template <typename T, typename Close, typename Empty = null_is_empty<T>> class unique_any {
public:
    unique_any() = default;
    explicit unique_any(T value) : m_value(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : m_value(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    T get() const { return m_value; }
    explicit operator bool() const { return Empty::is_valid(m_value); }
    void reset(T value = Empty::empty()) {
        if (Empty::is_valid(m_value))
            Close()(m_value);
        m_value = value;
    }
    T release() { return std::exchange(m_value, Empty::empty()); }
    // Closes now, for owners that report a close that fails: the handle is
    // kept then. Needs a closer that tells whether it closed.
    bool close() {
        if (!Empty::is_valid(m_value))
            return true;
        if (!Close()(m_value))
            return false;
        m_value = Empty::empty();
        return true;
    }
    // For out-parameters of platform calls; the old value is closed first.
    T* put() {
        reset();
        return &m_value;
    }

private:
    T m_value = Empty::empty();
};

#ifdef _WIN32
#include <windows.h>
#include <wininet.h>

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, other
// calls as null; their owners treat both as empty.
struct invalid_or_null_is_empty {
    static constexpr HANDLE empty() { return nullptr; }
    static bool is_valid(HANDLE h) { return h && h != INVALID_HANDLE_VALUE; }
};

struct close_handle {
    void operator()(HANDLE h) const { ::CloseHandle(h); }
};
struct close_find {
    void operator()(HANDLE h) const { ::FindClose(h); }
};
struct close_hkey {
    void operator()(HKEY h) const { ::RegCloseKey(h); }
};
struct free_library {
    void operator()(HMODULE h) const { ::FreeLibrary(h); }
};
struct local_free {
    void operator()(HLOCAL h) const { ::LocalFree(h); }
};
struct close_internet_handle {
    bool operator()(HINTERNET h) const { return ::InternetCloseHandle(h) != FALSE; }
};

using unique_handle = unique_any<HANDLE, close_handle>;
using unique_hfile = unique_any<HANDLE, close_handle, invalid_or_null_is_empty>;
using unique_hfind = unique_any<HANDLE, close_find, invalid_or_null_is_empty>;
using unique_hkey = unique_any<HKEY, close_hkey>;
using unique_hmodule = unique_any<HMODULE, free_library>;
using unique_hinternet = unique_any<HINTERNET, close_internet_handle>;
// What the platform hands over in LocalAlloc memory (decoded objects,
// security descriptors).
using unique_hlocal = unique_any<HLOCAL, local_free>;
#endif
