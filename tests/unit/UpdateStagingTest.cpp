#include "system/UpdateStaging.h"

#include "system/FileVersion.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kBatch = kSystem + "\\QVKSv4Update.bat";
const std::string kRunOnce = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

class UpdateStagingTest : public ProgramTest {
protected:
    void Row(int i, const std::string& name, const std::string& version = "4, 0, 0, 2",
             const std::string& dest = "11") {
        g_FileInfo[i].strName = name;
        g_FileInfo[i].strVersion = version;
        g_FileInfo[i].strURL = name;
        g_FileInfo[i].strDestDir = dest;
        dialog.m_nFileCount = std::max(dialog.m_nFileCount, i + 1);
    }
    std::string RunOnceValue() { return fake.registry[kRunOnce]["QvKsv4Update"]; }
};

TEST_F(UpdateStagingTest, StagesOutOfDateAndMissingFilesAndSchedulesTheSwap) {
    fake.AddFile(kSystem + "\\cur.dll", "cur", Version(4, 0, 0, 2));
    fake.AddFile(kSystem + "\\old.dll", "old", Version(4, 0, 0, 1));
    fake.AddFile(kWindows + "\\newer.exe", "newer", Version(4, 0, 0, 3));
    Row(0, "cur.dll");
    Row(1, "old.dll");
    Row(2, "newer.exe", "4, 0, 0, 2", "10");
    Row(3, "gone.dll");
    for (const char* name : {"cur.dll", "old.dll", "newer.exe", "gone.dll"})
        fake.SetReply(Url(std::string("/Kestrion/") + name), Reply(std::string("NEW ") + name));

    EXPECT_EQ(RunUpdate(&dialog), 1);

    EXPECT_EQ(fake.requests.size(), 3u);
    EXPECT_EQ(fake.files.count(kSystem + "\\cur.dll_new"), 0u);
    EXPECT_EQ(fake.files[kSystem + "\\old.dll_new"], "NEW old.dll");
    EXPECT_EQ(fake.files[kWindows + "\\newer.exe_new"], "NEW newer.exe");
    EXPECT_EQ(fake.files[kSystem + "\\gone.dll_new"], "NEW gone.dll");
    EXPECT_EQ(fake.files[kSystem + "\\old.dll"], "old");  // installed copies stay until the swap
    EXPECT_EQ(fake.files[kBatch],
              "ren C:\\WINDOWS\\system32\\old.dll old.dll_old\r\n"
              "ren C:\\WINDOWS\\system32\\old.dll_new old.dll\r\n"
              "ren C:\\WINDOWS\\newer.exe newer.exe_old\r\n"
              "ren C:\\WINDOWS\\newer.exe_new newer.exe\r\n"
              "ren C:\\WINDOWS\\system32\\gone.dll gone.dll_old\r\n"
              "ren C:\\WINDOWS\\system32\\gone.dll_new gone.dll\r\n");
    EXPECT_EQ(RunOnceValue(), kBatch + std::string(1, '\0'));
    EXPECT_EQ(fake.Traces(),
              (std::vector<std::string>{
                  "파일 체크 시작", "파일 체크 완료", Url("/Kestrion/old.dll"),
                  "다운로드 성공 FileName: old.dll", Url("/Kestrion/newer.exe"),
                  "다운로드 성공 FileName: newer.exe", Url("/Kestrion/gone.dll"),
                  "다운로드 성공 FileName: gone.dll"}));
}

TEST_F(UpdateStagingTest, ServiceGetsItsSwitchesOnVistaAndLaterOnly) {
    const std::string path = kSystem + "\\TalviqueSvc.exe";
    const std::string serviceLines = "ren " + path + " TalviqueSvc.exe_old\r\nren " + path +
                                     "_new TalviqueSvc.exe\r\n" + path + " -remove\r\n" + path +
                                     " -install\r\n" + path + " -start\r\n";
    const std::string plainLines =
        "ren " + path + " TalviqueSvc.exe_old\r\nren " + path + "_new TalviqueSvc.exe\r\n";
    const std::string next = "ren " + kSystem + "\\b.dll b.dll_old\r\nren " + kSystem +
                             "\\b.dll_new b.dll\r\n";
    Row(0, "TalviqueSvc.exe");
    Row(1, "b.dll");
    fake.AddFile(path + "_new");
    fake.AddFile(kSystem + "\\b.dll_new");

    const std::pair<OsVersion, std::string> cases[] = {
        {OsVersion{2, 6, 0}, serviceLines + next},
        {OsVersion{2, 10, 0}, serviceLines + next},
        {OsVersion{2, 5, 1}, plainLines + next},
    };
    for (const auto& [version, batch] : cases) {
        fake.osVersion = version;
        CheckFiles(&dialog);
        EXPECT_EQ(ScheduleUpdate(&dialog), 1);
        EXPECT_EQ(fake.files[kBatch], batch) << version.major;
    }
    g_FileInfo[0].strName = "talviquesvc.exe";
    g_FileInfo[0].strLocalPath = kSystem + "\\talviquesvc.exe";
    fake.AddFile(kSystem + "\\talviquesvc.exe_new");
    fake.osVersion = OsVersion{2, 6, 1};
    EXPECT_EQ(ScheduleUpdate(&dialog), 1);
    EXPECT_EQ(fake.files[kBatch].find("-remove"), std::string::npos);
}

TEST_F(UpdateStagingTest, NothingOutOfDateSchedulesNothing) {
    fake.AddFile(kSystem + "\\cur.dll", "cur", Version(4, 0, 0, 2));
    Row(0, "cur.dll");
    EXPECT_EQ(RunUpdate(&dialog), 0);
    EXPECT_TRUE(fake.requests.empty());
    EXPECT_EQ(fake.files.count(kBatch), 0u);
    EXPECT_EQ(fake.registry[kRunOnce].count("QvKsv4Update"), 0u);
    EXPECT_EQ(fake.Traces(), (std::vector<std::string>{"파일 체크 시작", "파일 체크 완료"}));
}

TEST_F(UpdateStagingTest, FailedDownloadsAreTracedTwiceAndLeftOut) {
    Row(0, "a.dll");
    Row(1, "b.dll");
    fake.SetReply(Url("/Kestrion/a.dll"), Reply("", 404));
    EXPECT_EQ(RunUpdate(&dialog), 0);
    EXPECT_EQ(fake.files.count(kBatch), 0u);
    const std::vector<std::string> traces = fake.Traces();
    EXPECT_EQ(std::vector<std::string>(traces.end() - 6, traces.end()),
              (std::vector<std::string>{Url("/Kestrion/a.dll"), "다운로드 실패 FileName: a.dll",
                                        Url("/Kestrion/b.dll"), "다운로드 실패 FileName: b.dll",
                                        "다운실패 a.dll", "다운실패 b.dll"}));
}

TEST_F(UpdateStagingTest, StagingCopyFromAnEarlierRunIsStillStaged) {
    Row(0, "a.dll");
    fake.AddFile(kSystem + "\\a.dll_new", "complete from last time");
    EXPECT_EQ(RunUpdate(&dialog), 1);  // the server is unreachable now
    EXPECT_EQ(fake.files[kSystem + "\\a.dll_new"], "complete from last time");
    EXPECT_NE(fake.files[kBatch].find("a.dll_new a.dll"), std::string::npos);
}

TEST_F(UpdateStagingTest, StaleOldCopyIsDeletedOnlyForAStagedRow) {
    Row(0, "a.dll");
    Row(1, "b.dll");
    fake.AddFile(kSystem + "\\a.dll_old", "older");
    fake.AddFile(kSystem + "\\b.dll_old", "older");
    fake.AddFile(kSystem + "\\a.dll_new", "new");
    CheckFiles(&dialog);
    EXPECT_EQ(ScheduleUpdate(&dialog), 1);
    EXPECT_EQ(fake.files.count(kSystem + "\\a.dll_old"), 0u);
    EXPECT_EQ(fake.files[kSystem + "\\b.dll_old"], "older");
}

TEST_F(UpdateStagingTest, EarlierBatchFileIsReplaced) {
    Row(0, "a.dll");
    fake.AddFile(kBatch, "ren something else\r\n");
    fake.AddFile(kSystem + "\\a.dll_new", "new");
    CheckFiles(&dialog);
    EXPECT_EQ(ScheduleUpdate(&dialog), 1);
    EXPECT_EQ(fake.files[kBatch], "ren " + kSystem + "\\a.dll a.dll_old\r\nren " + kSystem +
                                      "\\a.dll_new a.dll\r\n");
}

TEST_F(UpdateStagingTest, SchedulingFailures) {
    Row(0, "a.dll");
    fake.AddFile(kSystem + "\\a.dll_new", "new");
    CheckFiles(&dialog);

    fake.failSetValue = true;  // the batch file stays, unregistered
    EXPECT_EQ(ScheduleUpdate(&dialog), 0);
    EXPECT_EQ(fake.files.count(kBatch), 1u);
    fake.failSetValue = false;

    fake.DeleteMachineKey(kRunOnce);  // the key is never created
    EXPECT_EQ(ScheduleUpdate(&dialog), 0);
    EXPECT_EQ(fake.registry.count(kRunOnce), 0u);
    fake.CreateMachineKey(kRunOnce);

    fake.files.erase(kBatch);
    fake.lockedFiles.insert(kBatch);  // cannot be replaced
    fake.AddFile(kBatch, "earlier");
    EXPECT_EQ(ScheduleUpdate(&dialog), 0);
    EXPECT_EQ(fake.files[kBatch], "earlier");
    EXPECT_EQ(fake.files.count(kBatch + ".part"), 0u);
    EXPECT_EQ(fake.registry[kRunOnce].count("QvKsv4Update"), 0u);
    fake.lockedFiles.clear();

    fake.specialFolders.erase(0x25);
    EXPECT_EQ(ScheduleUpdate(&dialog), 0);
}

}  // namespace
}  // namespace qv::test
