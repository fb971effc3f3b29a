#include "tests/fakes/FakeDialogWindow.h"

#include "app/QVKestrionv4SetupDlg.h"

namespace qv::test {

FakeDialogWindow::FakeDialogWindow(FakePlatform& platform, CQVKestrionv4SetupDlg& dialog)
    : platform_(platform), dialog_(dialog) {}

void FakeDialogWindow::SetItemText(int id, const std::string& text) {
    texts[id] = text;
    if (id == 1001) {
        labelHistory.push_back(text);
        platform_.events.push_back("label:" + text);
    }
}

std::string FakeDialogWindow::ItemText(int id) { return texts[id]; }

intptr_t FakeDialogWindow::SendItemMessage(int id, unsigned msg, uintptr_t wParam,
                                           intptr_t lParam) {
    itemMessages.push_back(ItemMessage{id, msg, wParam, lParam});
    if (id == 1002 && msg == PBM_SETPOS) {
        const int previous = progressPos;
        progressPos = static_cast<int>(wParam);
        platform_.events.push_back("pos:" + std::to_string(progressPos));
        return previous;
    }
    if (id == 1002 && msg == PBM_SETRANGE) {
        const uint32_t previous = progressRange;
        progressRange = static_cast<uint32_t>(lParam);
        platform_.events.push_back("range:" + std::to_string(progressRange));
        return previous;
    }
    return 0;
}

intptr_t FakeDialogWindow::SendToWindow(unsigned msg, uintptr_t wParam, intptr_t lParam) {
    windowMessages.emplace_back(msg, wParam);
    return dialog_.WindowProc(msg, wParam, lParam);
}

int FakeDialogWindow::ShowMessageBox(const std::string& text, const std::string& caption,
                                     unsigned type) {
    platform_.boxes.push_back(BoxRecord{text, caption, type, false});
    platform_.events.push_back("box:" + text);
    if (boxAnswers.empty()) return 1;
    const int answer = boxAnswers.front();
    boxAnswers.pop_front();
    return answer;
}

void FakeDialogWindow::AppendSystemMenuItem(unsigned flags, unsigned id, const std::string& text) {
    systemMenu.push_back(MenuItem{flags, id, text});
}

}  // namespace qv::test
