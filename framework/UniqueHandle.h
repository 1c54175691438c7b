#pragma once
// Move-only owner of one platform handle: get(), reset(), release(), no copy
// and no implicit conversion, so a handle is closed exactly once.

#include <utility>

template <typename T, typename Close, T Empty = T()> class unique_any {
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
    explicit operator bool() const { return m_value != Empty; }
    void reset(T value = Empty) {
        if (m_value != Empty)
            Close()(m_value);
        m_value = value;
    }
    T release() { return std::exchange(m_value, Empty); }
    // For out-parameters of platform calls; the old value is closed first.
    T* put() {
        reset();
        return &m_value;
    }

private:
    T m_value = Empty;
};

#ifdef _WIN32
#include <windows.h>

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
struct delete_gdi {
    void operator()(HGDIOBJ h) const { ::DeleteObject(h); }
};

// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE, which
// is no constant expression; their owners treat both it and null as empty.
template <typename Close> class unique_invalid_handle {
public:
    unique_invalid_handle() = default;
    explicit unique_invalid_handle(HANDLE h) : m_h(h) {}
    unique_invalid_handle(const unique_invalid_handle&) = delete;
    unique_invalid_handle& operator=(const unique_invalid_handle&) = delete;
    unique_invalid_handle(unique_invalid_handle&& o) noexcept : m_h(o.release()) {}
    unique_invalid_handle& operator=(unique_invalid_handle&& o) noexcept {
        if (this != &o)
            reset(o.release());
        return *this;
    }
    ~unique_invalid_handle() { reset(); }
    HANDLE get() const { return m_h; }
    explicit operator bool() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    void reset(HANDLE h = nullptr) {
        if (*this)
            Close()(m_h);
        m_h = h;
    }
    HANDLE release() { return std::exchange(m_h, nullptr); }

private:
    HANDLE m_h = nullptr;
};

using unique_handle = unique_any<HANDLE, close_handle>;
using unique_hfile = unique_invalid_handle<close_handle>;
using unique_hfind = unique_invalid_handle<close_find>;
using unique_hkey = unique_any<HKEY, close_hkey>;
using unique_hmodule = unique_any<HMODULE, free_library>;
using unique_hgdiobj = unique_any<HGDIOBJ, delete_gdi>;
#endif
