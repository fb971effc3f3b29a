#include "app/win32/QVKestrionv4SetupApp.h"

#include "app/QVKestrionv4SetupDlg.h"
#include "app/win32/MainDialog.h"

CQVKestrionv4SetupApp theApp;

bool CQVKestrionv4SetupApp::InitInstance() {
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);

    SetRegistryKey("로컬 응용 프로그램 마법사에서 생성된 응용 프로그램");

    CQVKestrionv4SetupDlg dialog;
    MainDialog window(*m_pPlatform, dialog);
    window.DoModal(nullptr);
    return false;
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    // Lives on this stack until the process ends, also while a worker ends
    // the process from its own thread.
    qv::win32::Win32Platform platform(instance);
    qv::SetPlatform(&platform);
    theApp.SetPlatform(platform);
    theApp.InitInstance();
    return 0;
}
