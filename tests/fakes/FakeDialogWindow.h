#pragma once
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/Platform.h"
#include "tests/fakes/FakePlatform.h"

class CQVKestrionv4SetupDlg;

namespace qv::test {

struct ItemMessage {
    int id;
    unsigned msg;
    uintptr_t wParam;
    intptr_t lParam;
};

struct MenuItem {
    unsigned flags;
    unsigned id;
    std::string text;
};

// The main dialog's window: controls 1001 and 1002, a system menu, and boxes
// answered from a queue. Messages sent to the window reach the dialog's
// WindowProc, as the real window procedure passes them.
class FakeDialogWindow final : public DialogWindow {
public:
    FakeDialogWindow(FakePlatform& platform, CQVKestrionv4SetupDlg& dialog);

    void SetItemText(int id, const std::string& text) override;
    std::string ItemText(int id) override;
    bool HasItem(int id) override { return texts.count(id) != 0 || id == 1002; }
    intptr_t SendItemMessage(int id, unsigned msg, uintptr_t wParam, intptr_t lParam) override;
    intptr_t SendToWindow(unsigned msg, uintptr_t wParam, intptr_t lParam) override;
    int ShowMessageBox(const std::string& text, const std::string& caption,
                       unsigned type) override;
    bool HasSystemMenu() override { return hasSystemMenu; }
    void AppendSystemMenuItem(unsigned flags, unsigned id, const std::string& text) override;

    std::map<int, std::string> texts{{1001, "Static"}, {1005, "File:"}};
    std::vector<std::string> labelHistory;  // every text given to control 1001
    std::vector<ItemMessage> itemMessages;
    std::vector<std::pair<unsigned, uintptr_t>> windowMessages;
    std::deque<int> boxAnswers;  // IDOK once they run out
    bool hasSystemMenu = true;
    std::vector<MenuItem> systemMenu;
    int progressPos = 0;
    uint32_t progressRange = 100u << 16;

private:
    FakePlatform& platform_;
    CQVKestrionv4SetupDlg& dialog_;
};

}  // namespace qv::test
