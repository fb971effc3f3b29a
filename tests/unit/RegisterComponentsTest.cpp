#include "install/RegisterComponents.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kService = kSystem + "\\TalviqueSvc.exe";

class RegisterComponentsTest : public ProgramTest {
protected:
    void Row(int i, const std::string& name, const std::string& execute) {
        g_FileInfo[i].strName = name;
        g_FileInfo[i].strExecute = execute;
        g_FileInfo[i].strLocalPath = kSystem + "\\" + name;
        dialog.m_nFileCount = std::max(dialog.m_nFileCount, i + 1);
    }
};

TEST_F(RegisterComponentsTest, OnlyRowsMarkedOneAreRegistered) {
    Row(0, "a.dll", "0");
    Row(1, "b.dll", " 1");
    Row(2, "c.dll", "01");
    Row(3, "d.dll", "");
    Row(4, "e.dll", "1 ");
    EXPECT_EQ(RegisterComponents(&dialog), 1);
    EXPECT_TRUE(fake.started.empty());
    EXPECT_TRUE(fake.Traces().empty());
}

TEST_F(RegisterComponentsTest, ComponentsGoToRegsvr32InRowOrder) {
    Row(0, "a.dll", "1");
    Row(1, "skip.dll", "0");
    Row(2, "b.dll", "1");
    Row(3, "c.ocx", "1");
    EXPECT_EQ(RegisterComponents(&dialog), 1);
    ASSERT_EQ(fake.started.size(), 3u);
    const char* names[] = {"a.dll", "b.dll", "c.ocx"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(fake.started[i].file, "regsvr32");
        EXPECT_EQ(fake.started[i].parameters, kSystem + "\\" + names[i] + " /s");
        EXPECT_EQ(fake.started[i].show, 0);
    }
    EXPECT_EQ(fake.Traces(), (std::vector<std::string>{kSystem + "\\a.dll", kSystem + "\\b.dll",
                                                       kSystem + "\\c.ocx"}));
    EXPECT_EQ(fake.nowMs, 0u);
}

TEST_F(RegisterComponentsTest, ServiceInstallsThenStartsThreeSecondsLater) {
    Row(0, "TalviqueSvc.exe", "1");
    Row(1, "a.dll", "1");
    fake.osVersion = OsVersion{2, 6, 1};
    EXPECT_EQ(RegisterComponents(&dialog), 1);
    ASSERT_EQ(fake.started.size(), 3u);
    EXPECT_EQ(fake.started[0].file, kService);
    EXPECT_EQ(fake.started[0].parameters, " -install");
    EXPECT_EQ(fake.started[0].show, 0);
    EXPECT_EQ(fake.started[1].file, kService);
    EXPECT_EQ(fake.started[1].parameters, " -start");
    EXPECT_EQ(fake.started[1].timeMs - fake.started[0].timeMs, 3000u);
    EXPECT_EQ(fake.started[2].file, "regsvr32");
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{kSystem + "\\a.dll"});
}

TEST_F(RegisterComponentsTest, RunningServiceIsLeftAlone) {
    Row(0, "TalviqueSvc.exe", "1");
    fake.AddProcess("TalviqueSvc.exe", kService);
    EXPECT_EQ(RegisterComponents(&dialog), 1);
    EXPECT_TRUE(fake.started.empty());
    EXPECT_TRUE(fake.terminated.empty());
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{"TalviqueSvc.exe 실행 중"});
}

TEST_F(RegisterComponentsTest, ServiceRunningFromElsewhereDoesNotCount) {
    Row(0, "TalviqueSvc.exe", "1");
    fake.AddProcess("TalviqueSvc.exe", "C:\\Other\\TalviqueSvc.exe");
    EXPECT_EQ(RegisterComponents(&dialog), 1);
    ASSERT_EQ(fake.started.size(), 2u);
    EXPECT_EQ(fake.started[0].parameters, " -install");
}

TEST_F(RegisterComponentsTest, ServiceBeforeVistaAndOtherSpellingsGoToRegsvr32) {
    Row(0, "TalviqueSvc.exe", "1");
    fake.osVersion = OsVersion{2, 5, 1};
    RegisterComponents(&dialog);
    fake.osVersion = OsVersion{2, 6, 0};
    g_FileInfo[0].strName = "talviquesvc.exe";
    RegisterComponents(&dialog);
    fake.osVersion.reset();
    g_FileInfo[0].strName = "TalviqueSvc.exe";
    RegisterComponents(&dialog);
    ASSERT_EQ(fake.started.size(), 3u);
    for (const StartRecord& start : fake.started) {
        EXPECT_EQ(start.file, "regsvr32");
        EXPECT_EQ(start.parameters, kService + " /s");
    }
}

}  // namespace
}  // namespace qv::test
