#include "manifest/FetchManifest.h"

#include <array>
#include <cstring>
#include <memory>

#include "manifest/QVXMLParser.h"
#include "manifest/ServerRequest.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"
#include "system/DebugLog.h"

namespace {

const char kAgent[] = "Kestrionv4Setup";

const char* ManifestPath() {
    const std::optional<qv::OsVersion> version = qv::GetPlatform().QueryOsVersion();
    if (version && version->platformId == VER_PLATFORM_WIN32_NT && version->major >= 6)
        return "/Kestrion/Kestrionv4vista.ini";
    return "/Kestrion/Kestrionv4xp.ini";
}

// Reads until the announced length or the end of the reply, whichever comes
// first: one read may bring only part of the body.
size_t ReadBody(qv::HttpRequest& request, char* buffer, size_t length) {
    size_t total = 0;
    while (total < length) {
        const size_t got = request.Read(buffer + total, length - total);
        if (got == 0) break;
        total += got;
    }
    return total;
}

}  // namespace

std::string FetchManifest() {
    WriteDebugLog("설치 파일 정보 확인");

    std::string result;
    CQVXMLParser parser;
    std::array<char, kManifestBufferSize> buffer{};
    const std::string url = ServerUrl(ManifestPath());

    try {
        std::unique_ptr<qv::InternetSession> session = OpenServerSession(kAgent);
        std::unique_ptr<qv::HttpRequest> request = OpenServerRequest(*session, url);
        if (IsAcceptedStatus(request->QueryStatusCode())) {
            const std::optional<uint32_t> length = request->QueryContentLength();
            // The text must end in a zero byte inside the buffer.
            if (length && *length < kManifestBufferSize) {
                ReadBody(*request, buffer.data(), *length);
                parser.m_strXML.assign(buffer.data(), strnlen(buffer.data(), buffer.size()));
                parser.GetTagValue("UPDATE", result, 0);
            }
        }
    } catch (const qv::InternetError&) {
        // Server unreachable or reply broken off: no manifest.
    } catch (...) {
        qv::GetPlatform().ShowAppMessageBox("알수 없는 오류", MB_OK);
    }

    WriteDebugLog("파일 정보 확인 완료");
    return result;
}
