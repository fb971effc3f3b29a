#include "platform/win32/DialogBase.h"

#include <vector>

namespace qv::win32 {

DialogBase::DialogBase(HINSTANCE instance, int templateId)
    : instance_(instance), templateId_(templateId) {}

INT_PTR DialogBase::DoModal(HWND parent) {
    return DialogBoxParamA(instance_, MAKEINTRESOURCEA(templateId_), parent, &DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK DialogBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DialogBase* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<DialogBase*>(lParam);
        self->window_ = window;
        SetWindowLongPtrA(window, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<DialogBase*>(GetWindowLongPtrA(window, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    bool handled = false;
    const INT_PTR result = self->OnMessage(message, wParam, lParam, handled);
    if (message == WM_INITDIALOG) self->CenterIfUnplaced();
    if (message == WM_NCDESTROY) self->window_ = nullptr;
    return handled ? result : FALSE;
}

void DialogBase::EndDialog(int result) { ::EndDialog(window_, result); }

// A template placed at 0,0 means "wherever is right": over the owner, or in
// the middle of the screen, as dialog frameworks do.
void DialogBase::CenterIfUnplaced() {
    RECT rect;
    if (window_ == nullptr || !GetWindowRect(window_, &rect)) return;
    const HWND owner = GetWindow(window_, GW_OWNER);
    RECT area;
    if (owner != nullptr && IsWindowVisible(owner) && !IsIconic(owner)) {
        GetWindowRect(owner, &area);
    } else {
        SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    }
    POINT origin = {0, 0};
    if (owner != nullptr && (GetWindowLongA(window_, GWL_STYLE) & WS_CHILD) == 0) {
        // Template coordinates are relative to the owner's client area.
        ClientToScreen(owner, &origin);
    }
    if (rect.left != origin.x || rect.top != origin.y) return;
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    SetWindowPos(window_, nullptr, area.left + (area.right - area.left - width) / 2,
                 area.top + (area.bottom - area.top - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void DialogBase::SetItemText(int id, const std::string& text) {
    SetDlgItemTextA(window_, id, text.c_str());
}

std::string DialogBase::ItemText(int id) {
    const HWND item = GetDlgItem(window_, id);
    const int length = GetWindowTextLengthA(item);
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    const int got = GetWindowTextA(item, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

bool DialogBase::HasItem(int id) { return GetDlgItem(window_, id) != nullptr; }

intptr_t DialogBase::SendItemMessage(int id, unsigned msg, uintptr_t wParam, intptr_t lParam) {
    return SendDlgItemMessageA(window_, id, msg, wParam, lParam);
}

intptr_t DialogBase::SendToWindow(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    return SendMessageA(window_, msg, wParam, lParam);
}

int DialogBase::ShowMessageBox(const std::string& text, const std::string& caption,
                               unsigned type) {
    return MessageBoxA(window_, text.c_str(), caption.c_str(), type);
}

bool DialogBase::HasSystemMenu() { return GetSystemMenu(window_, FALSE) != nullptr; }

void DialogBase::AppendSystemMenuItem(unsigned flags, unsigned id, const std::string& text) {
    const HMENU menu = GetSystemMenu(window_, FALSE);
    if (menu == nullptr) return;
    AppendMenuA(menu, flags, id, (flags & MF_SEPARATOR) ? nullptr : text.c_str());
}

}  // namespace qv::win32
