#pragma once
// The calling thread in a single-threaded apartment for one scope. A thread
// already in another apartment refuses, and is then left exactly as it was.

#include <objbase.h>

class CComApartment {
public:
    CComApartment() : m_hr(::CoInitialize(nullptr)) {}
    ~CComApartment() {
        if (SUCCEEDED(m_hr))
            ::CoUninitialize();
    }
    CComApartment(const CComApartment&) = delete;
    CComApartment& operator=(const CComApartment&) = delete;

private:
    HRESULT m_hr;
};
