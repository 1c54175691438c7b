#pragma once
// Security attributes of an object a program makes, from a security
// descriptor written in SDDL.

#include "UniqueHandle.h"

#include <windows.h>
#include <sddl.h>

class CSecurityAttributes {
public:
    // A null or unreadable text gives none: get() is null, and the object
    // takes the security it would have without.
    explicit CSecurityAttributes(const char* sddl) {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (sddl && ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1,
                                                                           &descriptor, nullptr)) {
            m_descriptor.reset(descriptor);
            m_attributes.lpSecurityDescriptor = descriptor;
        }
    }
    CSecurityAttributes(const CSecurityAttributes&) = delete;
    CSecurityAttributes& operator=(const CSecurityAttributes&) = delete;

    LPSECURITY_ATTRIBUTES get() { return m_descriptor ? &m_attributes : nullptr; }

private:
    unique_hlocal m_descriptor;
    SECURITY_ATTRIBUTES m_attributes = {sizeof(SECURITY_ATTRIBUTES), nullptr, FALSE};
};
