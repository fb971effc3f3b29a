#pragma once
#include <array>
#include <cstdint>
#include <string>

// One file of the product, as the server's manifest lists it.
struct FileInfo {
    std::string strName;
    std::string strVersion;
    std::string strURL;
    std::string strDestDir;
    std::string strLocalPath;
    std::string strExecute;
    int32_t nNeedUpdate = 0;
};

// Rows 0 to 126 hold the manifest's files; the last row holds the runtime package.
constexpr int FILE_TABLE_SIZE = 128;
constexpr int RUNTIME_SLOT = 127;
constexpr int MAX_MANIFEST_FILES = RUNTIME_SLOT;

// The sibling product's service executable, which installs itself.
constexpr char kServiceExecutable[] = "TalviqueSvc.exe";

extern std::array<FileInfo, FILE_TABLE_SIZE> g_FileInfo;
