#pragma once
#include "app/QVKestrionv4SetupDlg.h"
#include "platform/win32/DialogBase.h"
#include "platform/win32/Win32Platform.h"

// The window of CQVKestrionv4SetupDlg: its message map, system menu, icon
// painting, and the hand-over of its private messages.
class MainDialog final : public qv::win32::DialogBase {
public:
    MainDialog(qv::win32::Win32Platform& platform, CQVKestrionv4SetupDlg& dialog);

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    void OnSysCommand(UINT id);
    void PaintIcon();

    qv::win32::Win32Platform& platform_;
    CQVKestrionv4SetupDlg& dialog_;
};
