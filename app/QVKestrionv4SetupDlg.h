#pragma once
#include <cstdint>
#include <string>

#include "platform/DialogControls.h"
#include "platform/Platform.h"
#include "platform/WinDefs.h"

// The dialog's private messages, sent by the installation worker.
constexpr unsigned WM_SETUP_PROGRESS = WM_USER + 100;  // wParam: the bar's new position
constexpr unsigned WM_SETUP_COMPLETE = WM_USER + 101;  // the bar full

constexpr unsigned IDM_ABOUTBOX = 0x0010;
constexpr unsigned IDS_ABOUTBOX = 101;
constexpr unsigned IDR_MAINFRAME = 128;
constexpr int IDC_STATIC_FILENAME = 1001;
constexpr int IDC_PROGRESS = 1002;

// The progress dialog, and the holder of the run's shared state that every
// routine of the program is handed.
class CQVKestrionv4SetupDlg {
public:
    enum { IDD = 102 };

    CQVKestrionv4SetupDlg();
    virtual ~CQVKestrionv4SetupDlg() = default;

    // Binds the dialog to its window before OnInitDialog runs.
    void AttachWindow(qv::DialogWindow& window) { m_pWindow = &window; }
    qv::DialogWindow* GetWindow() const { return m_pWindow; }

    virtual void DoDataExchange(qv::CQVDataExchange& dx);
    virtual intptr_t WindowProc(unsigned message, uintptr_t wParam, intptr_t lParam);
    // The program's main routine: reads the command line and runs the mode.
    // Returns only in setup and manual mode, once the worker runs.
    virtual bool OnInitDialog();

    bool UpdateData(bool bSaveAndValidate = true);
    // While the worker installs, the user may not close the dialog.
    bool CanClose() const { return m_pInstallThread == nullptr; }

    qv::CQVProgressCtrl m_Progress;
    qv::IconHandle m_hIcon;
    qv::ThreadToken m_pInstallThread = nullptr;
    int32_t m_nFileCount = 0;
    std::string m_strType;
    std::string m_strURL;
    std::string m_strAppPath;
    std::string m_strMessage;
    std::string m_strFileName;

private:
    void AddAboutBoxToSystemMenu();
    void SetWindowIcons();
    void RunSetupMode();
    void RunManualMode();
    void RunUpdateMode();
    void StartInstallation();
    [[noreturn]] void Exit();

    qv::DialogWindow* m_pWindow = nullptr;
};
