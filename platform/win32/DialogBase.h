#pragma once
#include "platform/Platform.h"
#include "platform/WinDefs.h"

namespace qv::win32 {

// A modal dialog from a template resource. Derived classes see every message
// first; what they leave goes to the system's dialog procedure.
class DialogBase : public DialogWindow {
public:
    DialogBase(HINSTANCE instance, int templateId);
    DialogBase(const DialogBase&) = delete;
    DialogBase& operator=(const DialogBase&) = delete;
    ~DialogBase() override = default;

    INT_PTR DoModal(HWND parent);
    HWND Handle() const { return window_; }
    HINSTANCE Instance() const { return instance_; }

    void SetItemText(int id, const std::string& text) override;
    std::string ItemText(int id) override;
    bool HasItem(int id) override;
    intptr_t SendItemMessage(int id, unsigned msg, uintptr_t wParam, intptr_t lParam) override;
    intptr_t SendToWindow(unsigned msg, uintptr_t wParam, intptr_t lParam) override;
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned type) override;
    bool HasSystemMenu() override;
    void AppendSystemMenuItem(unsigned flags, unsigned id, const std::string& text) override;

protected:
    // Set handled to keep the message from the default processing; the
    // returned value is then the dialog procedure's result.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;
    void EndDialog(int result);

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CenterIfUnplaced();

    HINSTANCE instance_;
    int templateId_;
    HWND window_ = nullptr;
};

}  // namespace qv::win32
