#include "app/win32/MainDialog.h"

#include "app/win32/AboutDlg.h"

MainDialog::MainDialog(qv::win32::Win32Platform& platform, CQVKestrionv4SetupDlg& dialog)
    : DialogBase(platform.Instance(), CQVKestrionv4SetupDlg::IDD),
      platform_(platform),
      dialog_(dialog) {}

INT_PTR MainDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    // The dialog's own procedure sees every message first, then passes it on.
    dialog_.WindowProc(message, wParam, lParam);
    switch (message) {
    case WM_INITDIALOG:
        platform_.SetMainWindow(Handle());
        dialog_.AttachWindow(*this);
        handled = true;
        return dialog_.OnInitDialog() ? TRUE : FALSE;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            OnSysCommand(static_cast<UINT>(wParam));
            handled = true;
        }
        return 0;
    case WM_PAINT:
        if (IsIconic(Handle())) {
            PaintIcon();
            handled = true;
        }
        return 0;
    case WM_QUERYDRAGICON:
        handled = true;
        return reinterpret_cast<INT_PTR>(dialog_.m_hIcon);
    case WM_COMMAND:
        if ((LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) && HIWORD(wParam) == 0) {
            // Closing while the worker installs would cut a file or a
            // registration off half-way.
            if (dialog_.CanClose()) EndDialog(LOWORD(wParam));
            handled = true;
        }
        return 0;
    default:
        return 0;
    }
}

void MainDialog::OnSysCommand(UINT) {
    CAboutDlg about(Instance());
    about.DoModal(Handle());
}

void MainDialog::PaintIcon() {
    PAINTSTRUCT paint;
    const HDC dc = BeginPaint(Handle(), &paint);
    SendMessageA(Handle(), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int cxIcon = GetSystemMetrics(SM_CXICON);
    const int cyIcon = GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(Handle(), &rect);
    const int x = (rect.right - rect.left - cxIcon + 1) / 2;
    const int y = (rect.bottom - rect.top - cyIcon + 1) / 2;
    DrawIcon(dc, x, y, static_cast<HICON>(dialog_.m_hIcon));
    EndPaint(Handle(), &paint);
}
