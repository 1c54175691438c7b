#include "PassReport.h"

#include "BoundedCall.h"
#include "Crypto.h"
#include "ProxyRoute.h"
#include "RolloutStore.h"
#include "UniqueHandle.h"

#include <windows.h>
#include <wininet.h>

#include <memory>
#include <vector>

namespace {

const DWORD kReportMilliseconds = 5000;
// A second try needs at least this much of the bound left.
const DWORD kLeastTryMilliseconds = 500;

// The running program's file version, "major.minor.build.revision".
std::string OwnVersion() {
    char path[MAX_PATH] = {};
    if (!::GetModuleFileNameA(nullptr, path, MAX_PATH))
        return std::string();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path, &ignored);
    std::vector<char> data(size);
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    if (!size || !::GetFileVersionInfoA(path, 0, size, data.data()) ||
        !::VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&info), &length) || !info)
        return std::string();
    return std::to_string(HIWORD(info->dwFileVersionMS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionMS)) + "." +
           std::to_string(HIWORD(info->dwFileVersionLS)) + "." +
           std::to_string(LOWORD(info->dwFileVersionLS));
}

// What one try met, written by the try's thread, read once it has finished.
struct Answer {
    const char* call = "HttpSendRequest";
    DWORD error = ERROR_SUCCESS;
    long status = 0; // 0: no answer
};

// One GET, run on a thread of its own by the caller's bound: it holds only
// copies, so a try given up may finish whenever it will.
HINTERNET TryReport(reportquery::ReportUrl url, std::string target, UpdateConfig proxy,
                    DWORD milliseconds, std::shared_ptr<Answer> answer) {
    auto failed = [&](const char* call) -> HINTERNET {
        answer->call = call;
        answer->error = ::GetLastError();
        return nullptr;
    };
    const bool viaProxy = !proxy.proxy.empty();
    unique_hinternet root(::InternetOpenA(
        "TavUpdate", viaProxy ? INTERNET_OPEN_TYPE_PROXY : INTERNET_OPEN_TYPE_PRECONFIG,
        viaProxy ? proxy.proxy.c_str() : nullptr,
        viaProxy && !proxy.proxyBypass.empty() ? proxy.proxyBypass.c_str() : nullptr,
        0)); // synchronous
    if (!root)
        return failed("InternetOpen");
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        ::InternetSetOptionA(root.get(), option, &milliseconds, sizeof(milliseconds));
    unique_hinternet connection(::InternetConnectA(root.get(), url.host.c_str(), url.port, nullptr,
                                                   nullptr, // no login
                                                   INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection)
        return failed("InternetConnect");
    const char* acceptTypes[] = {"*/*", nullptr};
    unique_hinternet request(::HttpOpenRequestA(
        connection.get(), "GET", target.c_str(), nullptr, // the library's HTTP version
        nullptr,                                          // no referrer
        acceptTypes,
        INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES |
            INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_AUTO_REDIRECT |
            (url.secure ? INTERNET_FLAG_SECURE : 0),
        0));
    if (!request)
        return failed("HttpOpenRequest");
    // Wine's library does not hand the root's time-outs down to a request.
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_SEND_TIMEOUT, &milliseconds,
                         sizeof(milliseconds));
    ::InternetSetOptionA(request.get(), INTERNET_OPTION_RECEIVE_TIMEOUT, &milliseconds,
                         sizeof(milliseconds));
    static const char kHeaders[] = "Cache-Control: no-store\r\n";
    for (int round = 0; round < 2; ++round) {
        if (!::HttpSendRequestA(request.get(), kHeaders, sizeof(kHeaders) - 1, nullptr, 0))
            return failed("HttpSendRequest");
        char status[32] = {};
        DWORD length = sizeof(status);
        if (!::HttpQueryInfoA(request.get(), HTTP_QUERY_STATUS_CODE, status, &length, nullptr))
            return failed("HttpQueryInfo");
        answer->status = atol(status);
        // The proxy the report went through gets the login when it asks,
        // once; a 407 from anything reached directly (a bypassed host, no
        // proxy at all) gets none.
        if (answer->status != HTTP_STATUS_PROXY_AUTH_REQ || proxy.proxyLoginName.empty() || round ||
            !WentThroughProxy(request.get()))
            break;
        ::InternetSetOptionA(request.get(), INTERNET_OPTION_PROXY_USERNAME,
                             const_cast<char*>(proxy.proxyLoginName.c_str()),
                             static_cast<DWORD>(proxy.proxyLoginName.size() + 1));
        ::InternetSetOptionA(request.get(), INTERNET_OPTION_PROXY_PASSWORD,
                             const_cast<char*>(proxy.proxyLoginPassword.c_str()),
                             static_cast<DWORD>(proxy.proxyLoginPassword.size() + 1));
        char ignored[4096];
        DWORD count = 0;
        while (::InternetReadFile(request.get(), ignored, sizeof(ignored), &count) && count)
            ;
    }
    return root.release(); // the caller closes it; the request and connection went first
}

} // namespace

std::string MachineDesktopId() {
    std::string id;
    if (ReadDesktopId(id).Ok() && !id.empty())
        return id;
    unsigned char bits[16] = {};
    if (!RandomBytes(bits, sizeof(bits)).Ok())
        return std::string(); // no id rather than one anybody could guess
    static const char kHex[] = "0123456789abcdef";
    for (unsigned char b : bits) {
        id += kHex[b >> 4];
        id += kHex[b & 15];
    }
    KeepDesktopId(id);
    return id;
}

void SendPassReport(const UpdateConfig& config, reportquery::PassFacts facts, CTraceBase& trace) {
    if (config.reportUrl.empty())
        return;
    reportquery::ReportUrl url;
    if (!reportquery::ParseReportUrl(config.reportUrl, url)) {
        trace.Trace(TRACE_INFO,
                    "SendPassReport(%s) : not sent, not an http(s)://host[:port]/path URL",
                    config.reportUrl.c_str());
        return;
    }
    facts.desktopId = MachineDesktopId();
    if (facts.desktopId.empty()) {
        trace.Trace(TRACE_INFO, "SendPassReport(%s) : not sent, no desktop id",
                    config.reportUrl.c_str());
        return;
    }
    std::optional<unsigned> bucket;
    if (ReadRolloutBucket(bucket).Ok())
        facts.bucket = bucket;
    facts.version = OwnVersion();
    const std::string target = reportquery::ReportTarget(url, facts);

    // Only the proxy settings go to the try's thread.
    UpdateConfig proxy;
    proxy.proxy = config.proxy;
    proxy.proxyBypass = config.proxyBypass;
    proxy.proxyLoginName = config.proxyLoginName;
    proxy.proxyLoginPassword = config.proxyLoginPassword;
    const DWORD start = ::GetTickCount();
    for (int attempt = 1; attempt <= 2; ++attempt) {
        const DWORD spent = ::GetTickCount() - start;
        if (attempt > 1 && spent + kLeastTryMilliseconds > kReportMilliseconds)
            break;
        const DWORD left = kReportMilliseconds - spent;
        auto answer = std::make_shared<Answer>();
        const BoundedCall made = CallWithin(
            left, "HttpSendRequest", [=] { return TryReport(url, target, proxy, left, answer); });
        // Any answer below 500 is in the server's log; a 5xx may not be.
        if (made.finished && made.handle && answer->status < 500) {
            trace.Trace(TRACE_INFO, "SendPassReport(%s%s) : sent, HTTP %ld",
                        config.reportUrl.c_str(), target.c_str() + url.path.size(), answer->status);
            return;
        }
        if (!made.finished)
            trace.Trace(TRACE_INFO, "SendPassReport(%s) : try %d not answered within %u ms",
                        config.reportUrl.c_str(), attempt, static_cast<unsigned>(left));
        else if (made.handle)
            trace.Trace(TRACE_INFO, "SendPassReport(%s) : try %d answered HTTP %ld",
                        config.reportUrl.c_str(), attempt, answer->status);
        else
            trace.Trace(TRACE_INFO, "SendPassReport(%s) : try %d, %s failed , EC=%lu",
                        config.reportUrl.c_str(), attempt, answer->call,
                        static_cast<unsigned long>(answer->error));
    }
    trace.Trace(TRACE_INFO, "SendPassReport(%s) : not sent", config.reportUrl.c_str());
}
