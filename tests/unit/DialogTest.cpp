#include "app/QVKestrionv4SetupDlg.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

class DialogTest : public ProgramTest {
protected:
    void FirstExchange() { dialog.UpdateData(false); }
    std::vector<ItemMessage> ProgressMessages() const {
        std::vector<ItemMessage> messages;
        for (const ItemMessage& m : window.itemMessages)
            if (m.id == 1002) messages.push_back(m);
        return messages;
    }
};

TEST_F(DialogTest, FirstExchangeEmptiesTheLabelAndLaterOnesShowTheFileName) {
    FirstExchange();
    EXPECT_EQ(window.texts[1001], "");
    dialog.m_strFileName = "a.dll";
    dialog.UpdateData(false);
    EXPECT_EQ(window.texts[1001], "a.dll");
    window.texts[1001] = "typed";
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.m_strFileName, "typed");
}

TEST_F(DialogTest, PrivateMessagesMoveTheBar) {
    FirstExchange();
    dialog.m_nFileCount = 70000;
    window.SendToWindow(WM_SETUP_PROGRESS, 5, 0);
    window.SendToWindow(WM_SETUP_PROGRESS, 900, 0);
    window.SendToWindow(WM_SETUP_COMPLETE, 0, 0);
    dialog.m_nFileCount = 0;
    window.SendToWindow(WM_SETUP_COMPLETE, 0, 0);
    window.SendToWindow(WM_USER + 102, 7, 0);
    const std::vector<ItemMessage> messages = ProgressMessages();
    ASSERT_EQ(messages.size(), 4u);
    const uintptr_t positions[] = {5, 900, 70000, 0};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(messages[i].msg, PBM_SETPOS);
        EXPECT_EQ(messages[i].wParam, positions[i]);
        EXPECT_EQ(messages[i].lParam, 0);
    }
    EXPECT_EQ(WM_SETUP_PROGRESS, 0x0464u);
    EXPECT_EQ(WM_SETUP_COMPLETE, 0x0465u);
}

TEST_F(DialogTest, RangeCarriesTheLowSixteenBitsOfTheCount) {
    FirstExchange();
    const std::pair<int, intptr_t> cases[] = {
        {0, 0}, {3, 3 << 16}, {127, 127 << 16}, {70000, (70000 & 0xFFFF) << 16}, {-2, 0xFFFEu << 16}};
    for (const auto& [count, lParam] : cases) {
        dialog.m_Progress.SetRange(0, count);
        const ItemMessage last = window.itemMessages.back();
        EXPECT_EQ(last.msg, PBM_SETRANGE);
        EXPECT_EQ(last.wParam, 0u);
        EXPECT_EQ(static_cast<uint32_t>(last.lParam), static_cast<uint32_t>(lParam)) << count;
    }
}

TEST_F(DialogTest, AboutEntryIsAddedToTheSystemMenu) {
    fake.arguments = {"setup.exe"};
    ExitCodeOf([&] { dialog.OnInitDialog(); });
    ASSERT_EQ(window.systemMenu.size(), 2u);
    EXPECT_EQ(window.systemMenu[0].flags, 0x0800u);
    EXPECT_EQ(window.systemMenu[1].flags, 0u);
    EXPECT_EQ(window.systemMenu[1].id, 0x0010u);
    EXPECT_EQ(window.systemMenu[1].text, "QVKestrionv4Setup 정보(&A)...");
    ASSERT_GE(window.windowMessages.size(), 2u);
    EXPECT_EQ(window.windowMessages[0], std::make_pair(WM_SETICON, uintptr_t{1}));
    EXPECT_EQ(window.windowMessages[1], std::make_pair(WM_SETICON, uintptr_t{0}));
    EXPECT_EQ(dialog.m_hIcon, FakePlatform::AppIcon());
}

TEST_F(DialogTest, NoMenuOrNoTextAddsNothing) {
    fake.arguments = {"setup.exe"};
    window.hasSystemMenu = false;
    ExitCodeOf([&] { dialog.OnInitDialog(); });
    EXPECT_TRUE(window.systemMenu.empty());
    window.hasSystemMenu = true;
    fake.strings.clear();
    ExitCodeOf([&] { dialog.OnInitDialog(); });
    EXPECT_TRUE(window.systemMenu.empty());
}

}  // namespace
}  // namespace qv::test
