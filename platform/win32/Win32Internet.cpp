#include <vector>

#include "platform/win32/Handles.h"
#include "platform/win32/Win32Platform.h"

namespace qv::win32 {
namespace {

[[noreturn]] void ThrowLastInternetError() { throw InternetError(GetLastError()); }

std::optional<uint32_t> QueryNumber(HINTERNET request, DWORD info) {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (!HttpQueryInfoA(request, info | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr))
        return std::nullopt;
    return value;
}

struct Timeouts {
    DWORD connect = 0, send = 0, receive = 0;
};

void SetTimeouts(HINTERNET handle, const Timeouts& timeouts) {
    InternetSetOptionA(handle, INTERNET_OPTION_CONNECT_TIMEOUT, const_cast<DWORD*>(&timeouts.connect),
                       sizeof(DWORD));
    InternetSetOptionA(handle, INTERNET_OPTION_SEND_TIMEOUT, const_cast<DWORD*>(&timeouts.send),
                       sizeof(DWORD));
    InternetSetOptionA(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, const_cast<DWORD*>(&timeouts.receive),
                       sizeof(DWORD));
}

class Win32HttpRequest final : public HttpRequest {
public:
    Win32HttpRequest(InternetHandle connection, InternetHandle request)
        : connection_(std::move(connection)), request_(std::move(request)) {}

    std::optional<uint32_t> QueryStatusCode() override {
        return QueryNumber(request_.get(), HTTP_QUERY_STATUS_CODE);
    }
    std::optional<uint32_t> QueryContentLength() override {
        return QueryNumber(request_.get(), HTTP_QUERY_CONTENT_LENGTH);
    }
    size_t Read(void* buffer, size_t size) override {
        DWORD got = 0;
        if (!InternetReadFile(request_.get(), buffer, static_cast<DWORD>(size), &got))
            ThrowLastInternetError();
        return got;
    }

private:
    // Declared first, released last.
    InternetHandle connection_;
    InternetHandle request_;
};

struct UrlParts {
    std::string host;
    INTERNET_PORT port = INTERNET_DEFAULT_HTTP_PORT;
    std::string path;
    bool secure = false;
};

UrlParts CrackUrl(const std::string& url) {
    std::vector<char> host(url.size() + 1), path(url.size() + 1), extra(url.size() + 1);
    URL_COMPONENTSA parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (!InternetCrackUrlA(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts))
        ThrowLastInternetError();
    UrlParts result;
    result.host.assign(host.data(), parts.dwHostNameLength);
    result.port = parts.nPort;
    result.path.assign(path.data(), parts.dwUrlPathLength);
    result.path.append(extra.data(), parts.dwExtraInfoLength);
    if (result.path.empty()) result.path = "/";
    result.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    return result;
}

class Win32InternetSession final : public InternetSession {
public:
    explicit Win32InternetSession(InternetHandle handle) : handle_(std::move(handle)) {}

    void SetTimeouts(uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) override {
        timeouts_ = Timeouts{connectMs, sendMs, receiveMs};
        qv::win32::SetTimeouts(handle_.get(), timeouts_);
    }

    // The GET that opening the URL would send. It is made in steps because
    // WinINet takes the time-outs of a request only from its own handle,
    // before it is sent: a session's are not passed on to it.
    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url, uint32_t flags,
                                         uint32_t context) override {
        const UrlParts parts = CrackUrl(url);
        InternetHandle connection(InternetConnectA(handle_.get(), parts.host.c_str(), parts.port,
                                                   nullptr, nullptr, INTERNET_SERVICE_HTTP, 0,
                                                   context));
        if (!connection) ThrowLastInternetError();
        const char* acceptTypes[] = {"*/*", nullptr};
        InternetHandle request(HttpOpenRequestA(connection.get(), "GET", parts.path.c_str(),
                                                nullptr, nullptr, acceptTypes,
                                                flags | (parts.secure ? INTERNET_FLAG_SECURE : 0),
                                                context));
        if (!request) ThrowLastInternetError();
        qv::win32::SetTimeouts(request.get(), timeouts_);
        if (!HttpSendRequestA(request.get(), "", 0, nullptr, 0)) ThrowLastInternetError();
        return std::make_unique<Win32HttpRequest>(std::move(connection), std::move(request));
    }

private:
    InternetHandle handle_;
    Timeouts timeouts_;
};

}  // namespace

std::unique_ptr<InternetSession> Win32Platform::OpenInternetSession(const std::string& agent,
                                                                    uint32_t /*context*/,
                                                                    uint32_t flags) {
    // The context travels with each request; InternetOpen takes none.
    InternetHandle session(
        InternetOpenA(agent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, flags));
    if (!session) ThrowLastInternetError();
    return std::make_unique<Win32InternetSession>(std::move(session));
}

}  // namespace qv::win32
