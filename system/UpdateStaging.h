#pragma once
#include <string>

class CQVKestrionv4SetupDlg;

constexpr char kUpdateBatchName[] = "QVKSv4Update.bat";
constexpr char kRunOnceKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr char kRunOnceValue[] = "QvKsv4Update";

// Checks the files, downloads every out-of-date one beside the installed copy
// and schedules the swap. 1 when the swap is scheduled for the next start.
int RunUpdate(CQVKestrionv4SetupDlg* dialog);

// Writes the rename batch file for every staged row and registers it to run
// once at the next start of Windows. 1 on success.
int ScheduleUpdate(CQVKestrionv4SetupDlg* dialog);

// The batch lines that swap one staged file into place.
std::string BatchLinesFor(const std::string& localPath, const std::string& name, bool asService);
