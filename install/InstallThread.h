#pragma once

class CQVKestrionv4SetupDlg;

constexpr char kRuntimeHelpPage[] =
    "http://www.microsoft.com/downloads/details.aspx?"
    "displaylang=ko&FamilyID=5a58b56f-60b6-4412-95b9-54d056d6f9f4";

// Resolves the files and starts the installation worker. Always 1.
int StartInstallThread(CQVKestrionv4SetupDlg* dialog);

// The worker: runtime, product files, registration, outcome. Ends the process.
unsigned InstallThreadProc(CQVKestrionv4SetupDlg* dialog);
