#pragma once
#include <string>

class CQVKestrionv4SetupDlg;

constexpr int FOLDER_WINDOWS = 10;
constexpr int FOLDER_SYSTEM = 11;

// The Windows folder for 10, the System folder for 11, without a trailing
// backslash; empty for any other code or when the shell cannot tell.
std::string GetSpecialFolder(int code);

// The fixed file version as "a, b, c, d"; "1, 0, 0, 0" without one.
std::string GetFileVersionString(const char* path);

// 0 when the file's version text is exactly requiredVersion.
int CompareFileVersion(const char* path, const char* requiredVersion);

bool IsVistaOrLater();

// Resolves every manifest row's local path and marks the rows to download.
int CheckFiles(CQVKestrionv4SetupDlg* dialog);
