#include "manifest/ServerRequest.h"

#include "platform/WinDefs.h"

#ifndef QV_SERVER_HOST
#error "QV_SERVER_HOST must name the download server's host"
#endif

std::string ServerUrl(const std::string& path) {
    return std::string("http://") + QV_SERVER_HOST + path;
}

std::unique_ptr<qv::InternetSession> OpenServerSession(const char* agent) {
    std::unique_ptr<qv::InternetSession> session =
        qv::GetPlatform().OpenInternetSession(agent, kRequestContext, INTERNET_FLAG_DONT_CACHE);
    session->SetTimeouts(kRequestTimeoutMs, kRequestTimeoutMs, kRequestTimeoutMs);
    return session;
}

std::unique_ptr<qv::HttpRequest> OpenServerRequest(qv::InternetSession& session,
                                                   const std::string& url) {
    return session.OpenUrl(url, INTERNET_FLAG_DONT_CACHE | INTERNET_FLAG_TRANSFER_BINARY,
                           kRequestContext);
}

bool IsAcceptedStatus(const std::optional<uint32_t>& status) {
    return status && (*status == 200 || *status == 416);
}
