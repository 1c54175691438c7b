#include "RemoteProtocol.h"

#include "FtpSession.h"
#include "HttpSession.h"
#include "KeptPartial.h"
#include "Protocol.h"

std::unique_ptr<IRemoteProtocol> MakeRemoteProtocol(int protocol, IProtocolHost& host,
                                                    const SessionFacts& facts, bool passive) {
    switch (protocol) {
    case PROTOCOL_FTP:
        return std::make_unique<CFtpSession>(host, facts, passive);
    case PROTOCOL_HTTP:
    case PROTOCOL_HTTPS:
        // A validator longer than a kept file's name holds names no copy.
        return std::make_unique<CHttpSession>(host, facts, protocol == PROTOCOL_HTTPS,
                                              kMostValidatorBytes);
    default:
        return nullptr;
    }
}

bool WaitToTryAgain(CRetryBudget& budget, unsigned retry, unsigned long retryAfterMs,
                    CTraceBase& trace, const std::string& step) {
    unsigned long wait = 0;
    if (!budget.NextWait(retry, retryAfterMs, wait))
        return false;
    trace.Trace(TRACE_INFO, "%s : trying again in %lu ms (%u)", step.c_str(), wait, retry);
    ::Sleep(wait);
    return true;
}

static_assert(PROTOCOL_FTP == INTERNET_SERVICE_FTP && PROTOCOL_HTTP == INTERNET_SERVICE_HTTP &&
                  PROTOCOL_HTTPS == static_cast<int>(INTERNET_SCHEME_HTTPS),
              "protocol codes are the library's numbers");
static_assert(INTERNET_DEFAULT_FTP_PORT == 21 && INTERNET_DEFAULT_HTTP_PORT == 80 &&
                  INTERNET_DEFAULT_HTTPS_PORT == 443,
              "default ports are the library's");
