#include "system/FileVersion.h"

#include <cstring>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FileInfo.h"
#include "manifest/ManifestEntryCheck.h"
#include "platform/Format.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"
#include "system/DebugLog.h"

std::string GetSpecialFolder(int code) {
    int csidl;
    if (code == FOLDER_WINDOWS)
        csidl = CSIDL_WINDOWS;
    else if (code == FOLDER_SYSTEM)
        csidl = CSIDL_SYSTEM;
    else
        return std::string();
    return qv::GetPlatform().SpecialFolderPath(csidl).value_or(std::string());
}

std::string GetFileVersionString(const char* path) {
    const std::optional<qv::FixedFileVersion> version =
        qv::GetPlatform().QueryFixedFileVersion(path);
    if (!version) return "1, 0, 0, 0";
    return qv::Format("%d, %d, %d, %d", static_cast<int>(version->fileVersionMS >> 16),
                      static_cast<int>(version->fileVersionMS & 0xFFFF),
                      static_cast<int>(version->fileVersionLS >> 16),
                      static_cast<int>(version->fileVersionLS & 0xFFFF));
}

int CompareFileVersion(const char* path, const char* requiredVersion) {
    return std::strcmp(GetFileVersionString(path).c_str(), requiredVersion);
}

bool IsVistaOrLater() {
    const std::optional<qv::OsVersion> version = qv::GetPlatform().QueryOsVersion();
    return version && version->platformId == VER_PLATFORM_WIN32_NT && version->major >= 6;
}

int CheckFiles(CQVKestrionv4SetupDlg* dialog) {
    WriteDebugLog("파일 체크 시작");
    qv::Platform& platform = qv::GetPlatform();
    for (int i = 0; i < dialog->m_nFileCount; ++i) {
        FileInfo& row = g_FileInfo[i];
        const std::string folder = GetSpecialFolder(ReadLeadingInt(row.strDestDir));
        row.strLocalPath = qv::Format("%s\\%s", folder.c_str(), row.strName.c_str());
        if (!platform.FindFile(row.strLocalPath)) {
            row.nNeedUpdate = 1;
            continue;
        }
        if (row.strVersion == "0")
            row.nNeedUpdate = 0;
        else
            row.nNeedUpdate =
                CompareFileVersion(row.strLocalPath.c_str(), row.strVersion.c_str()) != 0 ? 1 : 0;
    }
    WriteDebugLog("파일 체크 완료");
    return 1;
}
