// Manifest parsing on any reply body, through the fake platform: whatever the
// server sends, the table stays inside its rows and holds only entries whose
// files land in the Windows or System folder.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "manifest/LoadServerInfo.h"
#include "manifest/ManifestEntryCheck.h"
#include "system/FileVersion.h"
#include "system/UpdateStaging.h"
#include "tests/fakes/FakePlatform.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qv::test::ScopedFakePlatform platform;
    qv::test::FakePlatform& fake = platform.fake;
    for (FileInfo& row : g_FileInfo) row = FileInfo();
    g_FileInfo[RUNTIME_SLOT].strName = "ks_vcredist_x86.exe";

    qv::test::FakeReply reply;
    reply.body.assign(reinterpret_cast<const char*>(data), size);
    reply.contentLength = static_cast<uint32_t>(size);
    fake.SetReply("http://" QV_SERVER_HOST "/Kestrion/Kestrionv4vista.ini", reply);

    CQVKestrionv4SetupDlg dialog;
    dialog.m_nFileCount = -7;
    const int result = LoadServerInfo(&dialog);
    Check(result == 0 || result == 100);
    Check(g_FileInfo[RUNTIME_SLOT].strName == "ks_vcredist_x86.exe");
    if (result == 100) {
        Check(dialog.m_nFileCount == -7);
        for (int i = 0; i < RUNTIME_SLOT; ++i) Check(g_FileInfo[i].strName.empty());
        return 0;
    }
    Check(dialog.m_nFileCount <= MAX_MANIFEST_FILES);
    CheckFiles(&dialog);
    for (int i = 0; i < dialog.m_nFileCount; ++i) {
        const FileInfo& row = g_FileInfo[i];
        if (row.strName.empty()) continue;  // a missing entry
        Check(IsSafeFileName(row.strName) && IsSafeServerPath(row.strURL));
        const std::string& path = row.strLocalPath;
        Check(path == "C:\\WINDOWS\\" + row.strName || path == "C:\\WINDOWS\\system32\\" + row.strName);
        // Two renames of exactly three words each.
        const std::string lines = BatchLinesFor(path, row.strName, false);
        size_t words = 1;
        for (char c : lines) words += (c == ' ' || c == '\n') ? 1 : 0;
        Check(words == 7 && lines.find('%') == std::string::npos);
    }
    for (FileInfo& row : g_FileInfo) row = FileInfo();
    return 0;
}
