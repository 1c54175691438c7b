#pragma once
// The outcome of a check that may refuse for a reason that is no system
// error (a page off the allowed sites, a list that fails its checks): passed,
// or refused with the reason in words for the log. A failed platform call is
// a Win32Result.

#include <string>
#include <utility>

class Refusal {
public:
    Refusal() = default; // passed

    static Refusal Because(std::string reason) { return Refusal(std::move(reason)); }

    bool Ok() const { return !m_bRefused; }
    const std::string& Reason() const { return m_reason; }

private:
    explicit Refusal(std::string reason) : m_bRefused(true), m_reason(std::move(reason)) {}

    bool m_bRefused = false; // also with a reason left empty
    std::string m_reason;
};
