#include "install/RuntimeMonitor.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const char kPackage[] = "ks_vcredist_x86.exe";

class RuntimeMonitorTest : public ProgramTest {
protected:
    void SetUp() override {
        g_FileInfo[RUNTIME_SLOT].strName = kPackage;
        dialog.m_strFileName = kPackage;
    }
    // The key shows up keyAtMs after the call; the package ends at endMs.
    void Script(std::optional<uint64_t> keyAtMs, std::optional<uint64_t> endMs) {
        if (!endMs || *endMs > 0) fake.AddProcess(kPackage);
        fake.AddProcess("explorer.exe");
        fake.onSleep = [this, keyAtMs, endMs](uint64_t now) {
            if (keyAtMs && now >= *keyAtMs) fake.CreateMachineKey(kRuntimeUninstallKey);
            if (endMs && now >= *endMs)
                fake.processes.erase(std::remove_if(fake.processes.begin(), fake.processes.end(),
                                                    [](const FakeProcess& p) {
                                                        return p.exeFile == kPackage;
                                                    }),
                                     fake.processes.end());
        };
    }
    std::vector<std::string> Repeat(const std::string& line, int times) {
        return std::vector<std::string>(static_cast<size_t>(times), line);
    }
};

TEST_F(RuntimeMonitorTest, RuntimeAlreadyThereReturnsAtOnce) {
    fake.CreateMachineKey(kRuntimeUninstallKey);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 1);
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{"vcredist_x86.exe 설치 완료"});
    EXPECT_EQ(fake.nowMs, 0u);
    EXPECT_TRUE(window.labelHistory.empty());
}

TEST_F(RuntimeMonitorTest, KeyWithinFiveWaitsNeedsNoProcessCheck) {
    Script(7000, std::nullopt);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 1);
    EXPECT_EQ(fake.nowMs, 8000u);
    EXPECT_EQ(fake.snapshots, 0);
    EXPECT_TRUE(window.labelHistory.empty());
    std::vector<std::string> expected = Repeat("vcredist_x86.exe 설치 중", 4);
    expected.push_back("vcredist_x86.exe 설치 완료");
    EXPECT_EQ(fake.Traces(), expected);
}

TEST_F(RuntimeMonitorTest, LabelGrowsByTenDotsThenShowsTheBareName) {
    Script(40000, std::nullopt);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 1);
    EXPECT_EQ(fake.nowMs, 40000u);
    std::vector<std::string> expected;
    std::string label = kPackage;
    for (int pass = 6; pass <= 20; ++pass) {
        if (pass <= 15)
            label += " .";
        else
            label = kPackage;
        expected.push_back(label);
    }
    EXPECT_EQ(window.labelHistory, expected);
    EXPECT_EQ(fake.snapshots, 15);
    EXPECT_TRUE(fake.terminated.empty());
}

TEST_F(RuntimeMonitorTest, PackageGoneWithoutTheKeyFails) {
    Script(std::nullopt, 9000);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 0);
    std::vector<std::string> expected = Repeat("vcredist_x86.exe 설치 중", 6);
    expected.push_back("vcredist_x86.exe Process 종료 됨");
    expected.push_back("vcredist_x86.exe 설치 실패");
    EXPECT_EQ(fake.Traces(), expected);
    EXPECT_EQ(fake.nowMs, 12000u);
}

TEST_F(RuntimeMonitorTest, KeyInTheLastTwoSecondsStillCounts) {
    Script(11000, 9000);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 1);
    const std::vector<std::string> traces = fake.Traces();
    EXPECT_EQ(std::vector<std::string>(traces.end() - 2, traces.end()),
              (std::vector<std::string>{"vcredist_x86.exe Process 종료 됨",
                                        "vcredist_x86.exe 설치 완료"}));
}

TEST_F(RuntimeMonitorTest, UnreadableProcessListCountsAsEnded) {
    Script(std::nullopt, std::nullopt);
    fake.snapshotFails = true;
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 0);
    EXPECT_EQ(fake.nowMs, 12000u);
}

TEST_F(RuntimeMonitorTest, PackageThatNeverEndsIsGivenUpAfterAboutTenMinutes) {
    Script(std::nullopt, std::nullopt);
    EXPECT_EQ(WaitForRuntimeInstall(&dialog), 0);
    EXPECT_EQ(fake.nowMs, 300u * 2000u);
    const std::vector<std::string> traces = fake.Traces();
    EXPECT_EQ(traces.size(), 301u);
    EXPECT_EQ(traces.back(), "vcredist_x86.exe 설치 실패");
    EXPECT_EQ(dialog.m_strFileName, kPackage);
}

}  // namespace
}  // namespace qv::test
