#include "system/ProcessList.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

struct MatchCase {
    const char* image;
    const char* name;
    bool matches;
};

void PrintTo(const MatchCase& c, std::ostream* os) { *os << c.image; }

class ImageNameMatchTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(ImageNameMatchTest, FollowsTheRule) {
    EXPECT_EQ(ImageNameMatches(GetParam().image, GetParam().name), GetParam().matches)
        << GetParam().image << " / " << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImageNameMatchTest,
    ::testing::Values(
        MatchCase{"iexplore.exe", "iexplore.exe", true},
        MatchCase{"IEXPLORE.EXE", "iexplore.exe", true},
        MatchCase{"C:\\Program Files\\Internet Explorer\\IEXPLORE.EXE", "iexplore.exe", true},
        MatchCase{"xiexplore.exe", "iexplore.exe", false},
        MatchCase{"iexplore.exe.bak", "iexplore.exe", false},
        MatchCase{"C:\\x\\myiexplore.exe", "iexplore.exe", false},
        MatchCase{"C:/x/iexplore.exe", "iexplore.exe", false},  // only a backslash separates
        MatchCase{"explore.exe", "iexplore.exe", false},
        MatchCase{"TalviqueSvc.exe", "C:\\WINDOWS\\system32\\TalviqueSvc.exe", false},
        MatchCase{"C:\\WINDOWS\\SYSTEM32\\talviquesvc.exe", "C:\\WINDOWS\\system32\\TalviqueSvc.exe",
                  true},
        // Case folding is for A to Z only: other bytes compare exactly.
        MatchCase{"\xB0\xA1.exe", "\xB0\xC1.exe", false}));

class ProcessListTest : public ProgramTest {};

TEST_F(ProcessListTest, KillEndsEveryMatchingProcessAndNothingElse) {
    for (bool closeHandles : {true, false}) {
        fake.processes.clear();
        fake.AddProcess("explorer.exe");
        fake.AddProcess("iexplore.exe");
        fake.AddProcess("IEXPLORE.EXE");
        fake.AddProcess("xiexplore.exe");
        EXPECT_TRUE(KillProcessByName("iexplore.exe", closeHandles));
        ASSERT_EQ(fake.processes.size(), 2u);
        EXPECT_EQ(fake.processes[0].exeFile, "explorer.exe");
        EXPECT_EQ(fake.processes[1].exeFile, "xiexplore.exe");
    }
}

TEST_F(ProcessListTest, KillSkipsAProcessThatCannotBeOpened) {
    fake.AddProcess("iexplore.exe", "", false);
    fake.AddProcess("iexplore.exe");
    EXPECT_TRUE(KillProcessByName("iexplore.exe", true));
    ASSERT_EQ(fake.processes.size(), 1u);
    EXPECT_FALSE(fake.processes[0].canOpen);
}

TEST_F(ProcessListTest, UnreadableListIsFalseForBoth) {
    fake.AddProcess("iexplore.exe");
    fake.snapshotFails = true;
    EXPECT_FALSE(KillProcessByName("iexplore.exe", true));
    EXPECT_FALSE(IsProcessRunning("iexplore.exe"));
    EXPECT_TRUE(fake.terminated.empty());
}

TEST_F(ProcessListTest, NoMatchIsStillARead) {
    fake.AddProcess("explorer.exe");
    EXPECT_TRUE(KillProcessByName("iexplore.exe", true));
    EXPECT_TRUE(fake.terminated.empty());
    EXPECT_FALSE(IsProcessRunning("iexplore.exe"));
}

TEST_F(ProcessListTest, RunningTestTerminatesNothing) {
    fake.AddProcess("iexplore.exe");
    fake.AddProcess("iexplore.exe");
    EXPECT_TRUE(IsProcessRunning("iexplore.exe"));
    EXPECT_EQ(fake.processes.size(), 2u);
    EXPECT_TRUE(fake.terminated.empty());
}

TEST_F(ProcessListTest, NameWithAFolderMatchesTheFullExecutablePath) {
    // NT lists image names without folders; the full path tells which copy runs.
    fake.AddProcess("TalviqueSvc.exe", "C:\\Program Files\\Other\\TalviqueSvc.exe");
    EXPECT_FALSE(IsProcessRunning("C:\\WINDOWS\\system32\\TalviqueSvc.exe"));
    fake.AddProcess("TalviqueSvc.exe", "C:\\WINDOWS\\system32\\TalviqueSvc.exe");
    EXPECT_TRUE(IsProcessRunning("C:\\WINDOWS\\system32\\TalviqueSvc.exe"));
    EXPECT_TRUE(IsProcessRunning("c:\\windows\\SYSTEM32\\talviquesvc.exe"));
}

TEST_F(ProcessListTest, PathOfAProcessThatCannotBeQueriedDoesNotMatch) {
    fake.AddProcess("TalviqueSvc.exe", "");
    EXPECT_FALSE(IsProcessRunning("C:\\WINDOWS\\system32\\TalviqueSvc.exe"));
}

}  // namespace
}  // namespace qv::test
