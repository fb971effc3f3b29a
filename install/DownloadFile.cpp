#include "install/DownloadFile.h"

#include <array>
#include <cstdint>
#include <memory>

#include "manifest/FileInfo.h"
#include "manifest/ServerRequest.h"
#include "platform/Format.h"
#include "platform/Platform.h"
#include "system/DebugLog.h"

namespace {

const char kAgent[] = "Kestrion";

// The body goes to a file of its own beside the destination and takes the
// destination's place only once it is complete, so that neither a failed
// transfer nor a killed process leaves a partial file under the real name.
std::string PartialPath(const std::string& destination) { return destination + ".part"; }

bool NamesAFile(const std::string& path) {
    return !path.empty() && path.back() != '\\';
}

// Copies the body in blocks until the announced length has arrived. False
// when the reply ends early.
bool CopyBody(qv::HttpRequest& request, qv::OutputFile& file, uint32_t announced) {
    std::array<char, kDownloadBlockSize> buffer{};
    uint32_t total = 0;
    do {
        const size_t got = request.Read(buffer.data(), buffer.size());
        if (got > 0) file.Write(buffer.data(), got);
        total += static_cast<uint32_t>(got);
        if (got == 0 && total < announced) return false;
    } while (total < announced);
    return true;
}

}  // namespace

int DownloadFile(bool toNew, int index) {
    const FileInfo& row = g_FileInfo[index];
    const std::string address = ServerUrl(qv::Format("/Kestrion/%s", row.strURL.c_str()));
    WriteDebugLog(address.c_str());

    // A row without a name has no file to write.
    if (!NamesAFile(row.strLocalPath)) return 0;
    const std::string destination =
        toNew ? qv::Format("%s_%s", row.strLocalPath.c_str(), "new") : row.strLocalPath;
    const std::string partial = PartialPath(destination);

    qv::Platform& platform = qv::GetPlatform();
    int result = 0;
    bool partialCreated = false;
    try {
        std::unique_ptr<qv::InternetSession> session = OpenServerSession(kAgent);
        std::unique_ptr<qv::HttpRequest> request = OpenServerRequest(*session, address);
        if (!IsAcceptedStatus(request->QueryStatusCode())) return 0;
        const std::optional<uint32_t> announced = request->QueryContentLength();
        if (!announced) return 0;

        std::unique_ptr<qv::OutputFile> file = platform.CreateOutputFile(partial);
        partialCreated = file->IsOpen();
        const bool complete = CopyBody(*request, *file, *announced);
        file->Close();
        if (complete && partialCreated && platform.MoveFileOver(partial, destination)) {
            partialCreated = false;
            result = 1;
        }
    } catch (...) {
        // Any failure of the transfer or of the disk: the result stays 0.
    }
    if (partialCreated) platform.RemoveFile(partial);
    return result;
}
