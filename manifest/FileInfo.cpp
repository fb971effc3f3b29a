#include "manifest/FileInfo.h"

std::array<FileInfo, FILE_TABLE_SIZE> g_FileInfo;
