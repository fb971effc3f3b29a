#pragma once

class CQVKestrionv4SetupDlg;

constexpr int LOAD_SERVER_INFO_OK = 0;
constexpr int LOAD_SERVER_INFO_FAILED = 100;

// Fetches the manifest and fills m_nFileCount and rows 0 to m_nFileCount - 1
// of the file table. 0 on success; 100 when no usable manifest came, in which
// case the dialog and the table are left as they were.
int LoadServerInfo(CQVKestrionv4SetupDlg* dialog);
