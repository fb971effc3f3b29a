#include "app/win32/AboutDlg.h"

INT_PTR CAboutDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    if (message == WM_INITDIALOG) {
        handled = true;
        return TRUE;
    }
    if (message == WM_COMMAND && (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)) {
        EndDialog(LOWORD(wParam));
        handled = true;
        return TRUE;
    }
    return FALSE;
}
