#pragma once
// Move-only owner of one COM interface pointer: it holds one reference and
// gives it back exactly once, on every path.

#include <unknwn.h>

#include <utility>

template <typename T> class com_ptr {
public:
    com_ptr() = default;
    // Takes a new reference to p.
    explicit com_ptr(T* p) : m_p(p) {
        if (m_p)
            m_p->AddRef();
    }
    com_ptr(const com_ptr&) = delete;
    com_ptr& operator=(const com_ptr&) = delete;
    com_ptr(com_ptr&& other) noexcept : m_p(other.release()) {}
    com_ptr& operator=(com_ptr&& other) noexcept {
        if (this != &other)
            attach(other.release());
        return *this;
    }
    ~com_ptr() { reset(); }

    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // The old pointer is released after the new one is in place, so a
    // Release that calls back into the owner sees a consistent state.
    void reset(T* p = nullptr) {
        if (p)
            p->AddRef();
        attach(p);
    }
    // Takes over a reference the caller already holds.
    void attach(T* p) {
        T* old = std::exchange(m_p, p);
        if (old)
            old->Release();
    }
    // Gives the reference to the caller.
    T* release() { return std::exchange(m_p, nullptr); }
    // For out-parameters of COM calls; the old pointer is released first.
    T** put() {
        attach(nullptr);
        return &m_p;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }
    // Hands a new reference to an out-parameter.
    HRESULT copy_to(T** out) const {
        if (!out)
            return E_POINTER;
        *out = m_p;
        if (m_p)
            m_p->AddRef();
        return S_OK;
    }

    template <typename U> HRESULT As(com_ptr<U>* out) const {
        if (!m_p)
            return E_NOINTERFACE;
        return m_p->QueryInterface(__uuidof(U), out->put_void());
    }

private:
    T* m_p = nullptr;
};
