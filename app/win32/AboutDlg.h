#pragma once
#include "platform/win32/DialogBase.h"

// The About box, from the system menu.
class CAboutDlg final : public qv::win32::DialogBase {
public:
    enum { IDD = 100 };
    explicit CAboutDlg(HINSTANCE instance) : DialogBase(instance, IDD) {}

protected:
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
};
