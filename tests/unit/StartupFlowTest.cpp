#include "app/QVKestrionv4SetupDlg.h"

#include "install/RuntimeMonitor.h"
#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kApp = "C:\\Down\\QVKestrionv4Setup.exe";
const std::string kVista = Url("/Kestrion/Kestrionv4vista.ini");
const char kQuestion1[] =
    "Kestrionv4.0 설치를 시작합니다.\n\n사용중인 Internet Explorer가 모두 종료 됩니다.";
const char kQuestion2[] =
    "작업중인 Internet Explorer를 저장하여 주시기 바랍니다.\n\n확인시 작업중인 Internet "
    "Explorer가 모두 종료 됩니다.\n";
const char kCancel[] = "Kestrionv4.0  설치가 취소 되었습니다.\n";
const char kServerFailed[] = "서버 정보 로드에 실패 하였습니다.";

class StartupFlowTest : public ProgramTest {
protected:
    void SetUp() override {
        fake.AddProcess("explorer.exe");
        fake.AddProcess("iexplore.exe");
        fake.AddProcess("IEXPLORE.EXE");
    }
    std::optional<int> Start(std::vector<std::string> args) {
        fake.arguments = std::move(args);
        return ExitCodeOf([&] { returned = dialog.OnInitDialog(); });
    }
    void ServeManifest(const std::string& entries, int count) {
        fake.SetReply(kVista, Reply("<UPDATE><FILECOUNT>" + std::to_string(count) +
                                    "</FILECOUNT>" + entries + "</UPDATE>"));
    }
    size_t BrowsersRunning() const {
        return std::count_if(fake.processes.begin(), fake.processes.end(),
                             [](const FakeProcess& p) { return p.exeFile != "explorer.exe"; });
    }
    bool returned = false;
};

TEST_F(StartupFlowTest, WithoutAModeOnlyTheFirstLineIsTraced) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{}, std::vector<std::string>{kApp}}) {
        fake.debugLines.clear();
        EXPECT_EQ(Start(args), 0);
        EXPECT_EQ(fake.Traces(), std::vector<std::string>{"1"});
    }
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_TRUE(fake.requests.empty());
}

TEST_F(StartupFlowTest, UnknownModesEndSilently) {
    for (const char* mode : {"Setup", "UPDATE", "install", ""}) {
        fake.debugLines.clear();
        EXPECT_EQ(Start({kApp, mode, "http://x"}), 0);
        EXPECT_EQ(fake.Traces(),
                  (std::vector<std::string>{"1", "2", "3",
                                            "AppPath: " + kApp + ", Type: " + mode + ", URL: "}));
    }
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(BrowsersRunning(), 2u);
}

TEST_F(StartupFlowTest, SetupAsksTwiceThenClosesTheBrowserAndLoads) {
    window.boxAnswers = {IDYES, IDYES};
    EXPECT_EQ(Start({kApp, "setup", "http://portal.example/a?b=1", "extra"}), 0);
    ASSERT_EQ(fake.boxes.size(), 3u);
    EXPECT_EQ(fake.boxes[0].text, kQuestion1);
    EXPECT_EQ(fake.boxes[0].caption, "Kestrion4.0 ");
    EXPECT_EQ(fake.boxes[0].type, MB_YESNO);
    EXPECT_FALSE(fake.boxes[0].application);
    EXPECT_EQ(fake.boxes[1].text, kQuestion2);
    EXPECT_EQ(fake.boxes[1].caption, "Kestrion4.0 ");
    EXPECT_EQ(fake.boxes[1].type, MB_YESNO);
    EXPECT_EQ(fake.boxes[2].text, kServerFailed);  // no server yet
    EXPECT_TRUE(fake.boxes[2].application);
    EXPECT_EQ(fake.boxes[2].type, MB_OK);
    EXPECT_EQ(BrowsersRunning(), 0u);
    EXPECT_EQ(dialog.m_strURL, "http://portal.example/a?b=1");
    EXPECT_EQ(fake.Traces(),
              (std::vector<std::string>{
                  "1", "2", "3",
                  "AppPath: " + kApp + ", Type: setup, URL: http://portal.example/a?b=1",
                  "Kestrionv4.0 iexplore.exe 종료", "설치 파일 정보 확인", "파일 정보 확인 완료",
                  "파일 정보 파싱"}));
    // The browser was gone before the manifest was asked for.
    const auto killed = std::find(fake.events.begin(), fake.events.end(), "terminate:IEXPLORE.EXE 0");
    const auto asked = std::find(fake.events.begin(), fake.events.end(), "request:" + kVista);
    EXPECT_LT(killed, asked);
    const FileInfo& runtime = g_FileInfo[RUNTIME_SLOT];
    EXPECT_EQ(runtime.strDestDir, "11");
    EXPECT_EQ(runtime.strURL, "ks_vcredist_x86.exe");
    EXPECT_EQ(runtime.strName, "ks_vcredist_x86.exe");
    EXPECT_EQ(runtime.strVersion, "");
}

TEST_F(StartupFlowTest, SetupRefusedAtEitherQuestionIsCancelled) {
    const std::deque<int> answerSets[] = {{IDNO}, {IDYES, IDNO}, {IDCANCEL}};
    for (const std::deque<int>& answers : answerSets) {
        fake.boxes.clear();
        window.boxAnswers = answers;
        EXPECT_EQ(Start({kApp, "setup", "http://x"}), 0);
        ASSERT_EQ(fake.boxes.size(), std::min<size_t>(answers.size(), 2) + 1);
        const BoxRecord& cancel = fake.boxes.back();
        EXPECT_EQ(cancel.text, kCancel);
        EXPECT_EQ(cancel.caption, "Kestrion4.0");
        EXPECT_EQ(cancel.type, MB_OK);
        EXPECT_FALSE(cancel.application);
    }
    EXPECT_EQ(BrowsersRunning(), 2u);
    EXPECT_TRUE(fake.requests.empty());
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strName, "");
}

TEST_F(StartupFlowTest, SetupWithoutAPageTracesAnEmptyAddress) {
    window.boxAnswers = {IDNO};
    Start({kApp, "setup"});
    EXPECT_EQ(fake.Traces().back(), "AppPath: " + kApp + ", Type: setup, URL: ");
    EXPECT_EQ(fake.boxes[0].text, kQuestion1);
}

TEST_F(StartupFlowTest, ManualShowsItsTwoNoticesAndIgnoresTheAddress) {
    window.boxAnswers = {IDCANCEL};  // the answer does not matter
    EXPECT_EQ(Start({kApp, "manual", "http://x"}), 0);
    ASSERT_EQ(fake.boxes.size(), 3u);
    EXPECT_EQ(fake.boxes[0].text, "여기여기");
    EXPECT_TRUE(fake.boxes[0].application);
    EXPECT_EQ(fake.boxes[0].type, MB_OK);
    EXPECT_EQ(fake.boxes[1].text, kQuestion1);
    EXPECT_EQ(fake.boxes[1].caption, "Kestrion4.0 ");
    EXPECT_EQ(fake.boxes[1].type, MB_OK);
    EXPECT_FALSE(fake.boxes[1].application);
    EXPECT_EQ(fake.boxes[2].text, kServerFailed);
    EXPECT_EQ(BrowsersRunning(), 0u);
    EXPECT_EQ(fake.Traces()[3], "AppPath: " + kApp + ", Type: manual, URL: ");
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strName, "ks_vcredist_x86.exe");
}

TEST_F(StartupFlowTest, SetupWithAManifestHandsOverToTheWorker) {
    ServeManifest("<FILE0><NAME>a.dll</NAME><VERSION>0</VERSION><URL>a.dll</URL>"
                  "<DESTDIR>11</DESTDIR><EXCUTE>1</EXCUTE></FILE0>",
                  1);
    window.boxAnswers = {IDYES, IDYES};
    EXPECT_EQ(Start({kApp, "setup", "http://x"}), std::nullopt);
    EXPECT_TRUE(returned);
    EXPECT_EQ(dialog.m_nFileCount, 1);
    EXPECT_EQ(window.progressRange, 1u << 16);
    EXPECT_EQ(fake.threads.size(), 1u);
    EXPECT_FALSE(dialog.CanClose());
    EXPECT_EQ(g_FileInfo[0].strLocalPath, kSystem + "\\a.dll");
    // The range is set before the worker exists.
    const auto range = std::find(fake.events.begin(), fake.events.end(), "range:65536");
    const auto thread = std::find(fake.events.begin(), fake.events.end(), "thread");
    EXPECT_LT(range, thread);
}

TEST_F(StartupFlowTest, SetupWithNoFilesStillStartsTheWorker) {
    ServeManifest("", 0);
    window.boxAnswers = {IDYES, IDYES};
    EXPECT_EQ(Start({kApp, "setup", "http://x"}), std::nullopt);
    EXPECT_EQ(window.progressRange, 0u);
    EXPECT_EQ(fake.threads.size(), 1u);
}

TEST_F(StartupFlowTest, UpdateWithoutTheServerShowsNothing) {
    EXPECT_EQ(Start({kApp, "update", "http://x"}), 0);
    EXPECT_TRUE(fake.boxes.empty());
    EXPECT_EQ(BrowsersRunning(), 2u);
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strName, "");
    EXPECT_EQ(fake.Traces()[3], "AppPath: " + kApp + ", Type: update, URL: ");
    EXPECT_EQ(fake.Traces().back(), "파일 정보 파싱");
}

TEST_F(StartupFlowTest, UpdateAnnouncesAScheduledSwap) {
    ServeManifest("<FILE0><NAME>a.dll</NAME><VERSION>0</VERSION><URL>a.dll</URL>"
                  "<DESTDIR>11</DESTDIR><EXCUTE>1</EXCUTE></FILE0>",
                  1);
    fake.SetReply(Url("/Kestrion/a.dll"), Reply("new"));
    EXPECT_EQ(Start({kApp, "update"}), 0);
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text,
              "Kestrionv4 업그레이드가 진행 되었습니다.\n\n변경사항은 재부팅 후, 적용 됩니다.");
    EXPECT_TRUE(fake.boxes[0].application);
    EXPECT_TRUE(fake.threads.empty());
    EXPECT_EQ(BrowsersRunning(), 2u);
}

TEST_F(StartupFlowTest, UpdateWithNothingToStageEndsSilently) {
    ServeManifest("", 0);
    EXPECT_EQ(Start({kApp, "update"}), 0);
    EXPECT_TRUE(fake.boxes.empty());
}

TEST_F(StartupFlowTest, TextsAreCp949) {
    window.boxAnswers = {IDNO};
    Start({kApp, "setup"});
    // "설치" in CP949.
    EXPECT_NE(fake.boxes[0].text.find("\xBC\xB3\xC4\xA1"), std::string::npos);
}

}  // namespace
}  // namespace qv::test
