#pragma once

class CQVKestrionv4SetupDlg;

constexpr char kRuntimeUninstallKey[] =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\"
    "{9A25302D-30C0-39D9-BD6F-21E6EC160475}";
constexpr int kRuntimePollMs = 2000;
// About ten minutes: a package that neither finishes nor ends is given up.
constexpr int kRuntimeMaxPasses = 300;

bool IsRuntimeInstalled();

// Waits for the runtime package started just before to register the runtime.
// 1 once its uninstall key is there; 0 when the package has ended without it.
int WaitForRuntimeInstall(CQVKestrionv4SetupDlg* dialog);
