#include "system/UpdateStaging.h"

#include <memory>

#include "app/QVKestrionv4SetupDlg.h"
#include "install/DownloadFile.h"
#include "manifest/FileInfo.h"
#include "platform/Format.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"
#include "system/DebugLog.h"
#include "system/FileVersion.h"

namespace {

// Written beside and moved into place, so that a batch file registered by an
// earlier run is never left half rewritten.
bool WriteWholeFile(const std::string& path, const std::string& text) {
    qv::Platform& platform = qv::GetPlatform();
    const std::string partial = path + ".part";
    bool written = false;
    try {
        std::unique_ptr<qv::OutputFile> file = platform.CreateOutputFile(partial);
        if (!file->IsOpen()) return false;
        file->Write(text.data(), text.size());
        file->Close();
        written = true;
    } catch (const qv::FileError&) {
    }
    if (written && platform.MoveFileOver(partial, path)) return true;
    platform.RemoveFile(partial);
    return false;
}

}  // namespace

std::string BatchLinesFor(const std::string& localPath, const std::string& name, bool asService) {
    const char* path = localPath.c_str();
    const char* file = name.c_str();
    if (asService)
        return qv::Format("ren %s %s_old\r\nren %s_new %s\r\n%s -remove\r\n%s -install\r\n%s -start",
                          path, file, path, file, path, path, path) +
               "\r\n";
    return qv::Format("ren %s %s_old\r\nren %s_new %s\r\n", path, file, path, file);
}

int RunUpdate(CQVKestrionv4SetupDlg* dialog) {
    CheckFiles(dialog);
    for (int i = 0; i < dialog->m_nFileCount; ++i) {
        const FileInfo& row = g_FileInfo[i];
        if (row.nNeedUpdate != 1) continue;
        if (DownloadFile(true, i) == 1)
            dialog->m_strMessage = qv::Format("다운로드 성공 FileName: %s", row.strName.c_str());
        else
            dialog->m_strMessage = qv::Format("다운로드 실패 FileName: %s", row.strName.c_str());
        WriteDebugLog(dialog->m_strMessage.c_str());
    }
    return ScheduleUpdate(dialog);
}

int ScheduleUpdate(CQVKestrionv4SetupDlg* dialog) {
    qv::Platform& platform = qv::GetPlatform();
    std::string batch;
    for (int i = 0; i < dialog->m_nFileCount; ++i) {
        const FileInfo& row = g_FileInfo[i];
        if (row.nNeedUpdate != 1) continue;
        if (!platform.FindFile(qv::Format("%s_new", row.strLocalPath.c_str()))) {
            dialog->m_strMessage = qv::Format("다운실패 %s", row.strName.c_str());
            WriteDebugLog(dialog->m_strMessage.c_str());
            continue;
        }
        // A stale old copy would make the first rename fail at the swap.
        const std::string oldCopy = qv::Format("%s_old", row.strLocalPath.c_str());
        if (platform.FindFile(oldCopy)) platform.RemoveFile(oldCopy);
        batch += BatchLinesFor(row.strLocalPath, row.strName,
                               row.strName == kServiceExecutable && IsVistaOrLater());
    }
    if (batch.empty()) return 0;

    const std::optional<std::string> systemFolder = platform.SpecialFolderPath(CSIDL_SYSTEM);
    if (!systemFolder) return 0;
    const std::string batchPath = qv::Format("%s\\%s", systemFolder->c_str(), kUpdateBatchName);
    if (!WriteWholeFile(batchPath, batch)) return 0;
    return platform.SetMachineStringValue(kRunOnceKey, kRunOnceValue, batchPath) ? 1 : 0;
}
