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

class Win32HttpRequest final : public HttpRequest {
public:
    explicit Win32HttpRequest(InternetHandle handle) : handle_(std::move(handle)) {}

    std::optional<uint32_t> QueryStatusCode() override {
        return QueryNumber(handle_.get(), HTTP_QUERY_STATUS_CODE);
    }
    std::optional<uint32_t> QueryContentLength() override {
        return QueryNumber(handle_.get(), HTTP_QUERY_CONTENT_LENGTH);
    }
    size_t Read(void* buffer, size_t size) override {
        DWORD got = 0;
        if (!InternetReadFile(handle_.get(), buffer, static_cast<DWORD>(size), &got))
            ThrowLastInternetError();
        return got;
    }

private:
    InternetHandle handle_;
};

class Win32InternetSession final : public InternetSession {
public:
    explicit Win32InternetSession(InternetHandle handle) : handle_(std::move(handle)) {}

    void SetTimeouts(uint32_t connectMs, uint32_t sendMs, uint32_t receiveMs) override {
        SetOption(INTERNET_OPTION_CONNECT_TIMEOUT, connectMs);
        SetOption(INTERNET_OPTION_SEND_TIMEOUT, sendMs);
        SetOption(INTERNET_OPTION_RECEIVE_TIMEOUT, receiveMs);
    }

    std::unique_ptr<HttpRequest> OpenUrl(const std::string& url, uint32_t flags,
                                         uint32_t context) override {
        InternetHandle request(
            InternetOpenUrlA(handle_.get(), url.c_str(), "", 0, flags, context));
        if (!request) ThrowLastInternetError();
        return std::make_unique<Win32HttpRequest>(std::move(request));
    }

private:
    void SetOption(DWORD option, DWORD value) {
        InternetSetOptionA(handle_.get(), option, &value, sizeof(value));
    }

    InternetHandle handle_;
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
