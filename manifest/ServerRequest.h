#pragma once
// What every request to the product's download server has in common.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/Platform.h"

constexpr uint32_t kRequestContext = 1;
// Every time-out, in milliseconds. Without one a server that stops sending
// mid-reply keeps the program waiting for ever.
constexpr uint32_t kRequestTimeoutMs = 60000;

// "http://" and the build-time server host, followed by path.
std::string ServerUrl(const std::string& path);

// A new uncached session with the time-outs set. Throws qv::InternetError.
std::unique_ptr<qv::InternetSession> OpenServerSession(const char* agent);

// A GET of url, uncached and binary. Throws qv::InternetError.
std::unique_ptr<qv::HttpRequest> OpenServerRequest(qv::InternetSession& session,
                                                   const std::string& url);

// 416 passes as 200 does: the server has answered so.
bool IsAcceptedStatus(const std::optional<uint32_t>& status);
