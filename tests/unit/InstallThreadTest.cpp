#include "install/InstallThread.h"

#include "install/RuntimeMonitor.h"
#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kPackagePath = kSystem + "\\ks_vcredist_x86.exe";

class InstallThreadTest : public ProgramTest {
protected:
    void SetUp() override {
        dialog.m_strType = "setup";
        dialog.m_strURL = "http://portal.example/done";
        FileInfo& runtime = g_FileInfo[RUNTIME_SLOT];
        runtime.strDestDir = "11";
        runtime.strURL = "ks_vcredist_x86.exe";
        runtime.strName = "ks_vcredist_x86.exe";
        Row(0, "a.dll", "1");
        Row(1, "b.exe", "0");
        Row(2, "c.dll", "1");
        fake.CreateMachineKey(kRuntimeUninstallKey);
        // As the dialog's initialisation leaves it: bar attached, label empty.
        dialog.UpdateData(false);
        window.labelHistory.clear();
        fake.events.clear();
    }
    void Row(int i, const std::string& name, const std::string& execute) {
        g_FileInfo[i] = FileInfo{name, "0", name, "11", "", execute, 0};
        dialog.m_nFileCount = i + 1;
        fake.SetReply(Url("/Kestrion/" + name), Reply("body of " + name));
    }
    std::optional<int> Run() {
        EXPECT_EQ(StartInstallThread(&dialog), 1);
        EXPECT_FALSE(dialog.CanClose());
        return fake.RunThread();
    }
    // The events that make up what the user sees, in order.
    std::vector<std::string> Visible() const {
        std::vector<std::string> visible;
        for (const std::string& e : fake.events)
            if (e.rfind("label:", 0) == 0 || e.rfind("pos:", 0) == 0 || e.rfind("appbox:", 0) == 0 ||
                e.rfind("start:", 0) == 0 || e.rfind("exit:", 0) == 0)
                visible.push_back(e);
        return visible;
    }
    void PackageServed(std::function<void()> whenStarted) {
        fake.DeleteMachineKey(kRuntimeUninstallKey);
        fake.SetReply(Url("/Kestrion/ks_vcredist_x86.exe"), Reply("package"));
        fake.onStart = [whenStarted](const StartRecord& start) {
            if (start.parameters == "/q") whenStarted();
        };
    }
};

TEST_F(InstallThreadTest, RuntimePresentInstallsEveryFileAndReopensThePage) {
    EXPECT_EQ(Run(), 0);
    for (const char* name : {"a.dll", "b.exe", "c.dll"})
        EXPECT_EQ(fake.files[kSystem + "\\" + name], std::string("body of ") + name);
    EXPECT_EQ(Visible(),
              (std::vector<std::string>{
                  "label:a.dll", "pos:0", "label:b.exe", "pos:1", "label:c.dll", "pos:2",
                  "start:regsvr32|" + kSystem + "\\a.dll /s|0",
                  "start:regsvr32|" + kSystem + "\\c.dll /s|0", "pos:3",
                  "appbox:Kestrionv4 설치완료", "start:iexplore.exe|http://portal.example/done|1",
                  "exit:0"}));
    EXPECT_EQ(fake.Traces(),
              (std::vector<std::string>{"파일 체크 시작", "파일 체크 완료", "다운로드 쓰레드 시작",
                                        "vsredist_x86.exe 설치 됨", "모듈 다운로드 시작",
                                        Url("/Kestrion/a.dll"), Url("/Kestrion/b.exe"),
                                        Url("/Kestrion/c.dll"), kSystem + "\\a.dll",
                                        kSystem + "\\c.dll", "Kestrionv4 설치 완료"}));
    EXPECT_EQ(fake.events[fake.events.size() - 2], "sleep:100");
}

TEST_F(InstallThreadTest, EveryRowIsDownloadedWhateverItsMark) {
    fake.AddFile(kSystem + "\\a.dll", "current");  // marked current by the file check
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(g_FileInfo[0].nNeedUpdate, 0);
    EXPECT_EQ(fake.files[kSystem + "\\a.dll"], "body of a.dll");
}

TEST_F(InstallThreadTest, ManualModeOpensNoBrowser) {
    dialog.m_strType = "manual";
    EXPECT_EQ(Run(), 0);
    for (const StartRecord& start : fake.started) EXPECT_EQ(start.file, "regsvr32");
}

TEST_F(InstallThreadTest, NoFilesStillCompletes) {
    dialog.m_nFileCount = 0;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(Visible(), (std::vector<std::string>{"pos:0", "appbox:Kestrionv4 설치완료",
                                                   "start:iexplore.exe|http://portal.example/done|1",
                                                   "exit:0"}));
    EXPECT_TRUE(fake.requests.empty());
}

TEST_F(InstallThreadTest, FailedFilesAreNamedInsteadOfClaimingSuccess) {
    fake.SetReply(Url("/Kestrion/a.dll"), Reply("", 404));
    fake.SetReply(Url("/Kestrion/c.dll"), Reply("", 500));
    EXPECT_EQ(Run(), 0);
    const std::vector<std::string> visible = Visible();
    EXPECT_EQ(std::vector<std::string>(visible.begin(), visible.begin() + 6),
              (std::vector<std::string>{"label:a.dll", "pos:0", "label:b.exe", "pos:1",
                                        "label:c.dll", "pos:2"}));
    EXPECT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text,
              "Kestrionv4 설치를 완료하지 못했습니다.\n\n다운로드에 실패한 파일:\na.dll\nc.dll\n");
    const std::vector<std::string> traces = fake.Traces();
    EXPECT_NE(std::find(traces.begin(), traces.end(), "다운로드 실패 : a.dll"), traces.end());
    EXPECT_NE(std::find(traces.begin(), traces.end(), "다운로드 실패 : c.dll"), traces.end());
    EXPECT_EQ(fake.started.back().file, "iexplore.exe");
}

TEST_F(InstallThreadTest, MissingRuntimeIsFetchedFreshAndInstalledQuietly) {
    fake.AddFile(kPackagePath, "stale package");
    PackageServed([this] { fake.CreateMachineKey(kRuntimeUninstallKey); });
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strLocalPath, kPackagePath);
    EXPECT_EQ(fake.files[kPackagePath], "package");
    ASSERT_GE(fake.started.size(), 1u);
    EXPECT_EQ(fake.started[0].file, kPackagePath);
    EXPECT_EQ(fake.started[0].parameters, "/q");
    EXPECT_EQ(fake.started[0].show, 0);
    EXPECT_EQ(window.labelHistory.front(), "ks_vcredist_x86.exe");
    const std::vector<std::string> traces = fake.Traces();
    EXPECT_EQ(std::vector<std::string>(traces.begin() + 3, traces.begin() + 9),
              (std::vector<std::string>{"vsredist_x86.exe 설치 시작",
                                        Url("/Kestrion/ks_vcredist_x86.exe"),
                                        "vsredist_x86.exe 설치 쓰레드 실행",
                                        "vcredist_x86.exe 설치 완료",
                                        "vsredist_x86.exe 설치 쓰레드 종료", "모듈 다운로드 시작"}));
    // The stale copy went before the new download came.
    const auto deleted = std::find(fake.events.begin(), fake.events.end(), "delete:" + kPackagePath);
    const auto requested = std::find(fake.events.begin(), fake.events.end(),
                                     "request:" + Url("/Kestrion/ks_vcredist_x86.exe"));
    EXPECT_LT(deleted, requested);
    EXPECT_EQ(fake.boxes.back().text, "Kestrionv4 설치완료");
}

TEST_F(InstallThreadTest, RuntimeThatDoesNotInstallSendsTheUserToTheHelpPage) {
    PackageServed([] {});  // the package ends without registering the runtime
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(fake.files.count(kPackagePath), 0u);
    ASSERT_EQ(fake.boxes.size(), 2u);
    EXPECT_EQ(fake.boxes[0].text, "설치 과정에서 오류가 발생 되었습니다.");
    EXPECT_EQ(fake.boxes[1].text, "Windows Installer을 설치 하시고,\n\n 재설치 하여 주시기 바랍니다.");
    ASSERT_EQ(fake.started.size(), 2u);
    EXPECT_EQ(fake.started[1].file, "iexplore.exe");
    EXPECT_EQ(fake.started[1].parameters,
              "http://www.microsoft.com/downloads/details.aspx?displaylang=ko&FamilyID="
              "5a58b56f-60b6-4412-95b9-54d056d6f9f4");
    EXPECT_EQ(fake.started[1].show, 1);
    EXPECT_EQ(fake.Traces().back(), "vsredist_x86.exe 설치 쓰레드 종료");
    EXPECT_EQ(fake.requests.size(), 1u);  // no product file was fetched
}

TEST_F(InstallThreadTest, RuntimeThatCannotBeDownloadedEndsWithANotice) {
    fake.DeleteMachineKey(kRuntimeUninstallKey);
    fake.SetReply(Url("/Kestrion/ks_vcredist_x86.exe"), Reply("", 404));
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(fake.Traces().back(), "vsredist_x86.exe 설치 다운로드 실패");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text,
              "Kestrionv4 설치에 필요한 런타임을 받지 못했습니다.\n\n잠시 후 다시 설치하여 "
              "주시기 바랍니다.");
    EXPECT_TRUE(fake.boxes[0].application);
    EXPECT_TRUE(fake.started.empty());
    EXPECT_EQ(window.labelHistory, std::vector<std::string>{"ks_vcredist_x86.exe"});
}

}  // namespace
}  // namespace qv::test
