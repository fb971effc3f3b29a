#include "install/DownloadFile.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kPath = "C:\\WINDOWS\\system32\\a.dll";

class DownloadFileTest : public ProgramTest {
protected:
    void SetUp() override {
        g_FileInfo[3].strURL = "v4/a.dll";
        g_FileInfo[3].strLocalPath = kPath;
    }
    const std::string url = Url("/Kestrion/v4/a.dll");
};

std::string Body(size_t size) {
    std::string body;
    for (size_t i = 0; i < size; ++i) body += static_cast<char>('a' + i * 7 % 26);
    return body;
}

TEST_F(DownloadFileTest, WritesTheWholeBodyInBlocks) {
    const std::string body = Body(8096 * 2 + 5);
    fake.SetReply(url, Reply(body));
    fake.AddFile(kPath, "old");
    EXPECT_EQ(DownloadFile(false, 3), 1);
    EXPECT_EQ(fake.files[kPath], body);
    EXPECT_EQ(fake.files.count(kPath + ".part"), 0u);
    ASSERT_EQ(fake.requests.size(), 1u);
    const RequestRecord& r = fake.requests[0];
    EXPECT_EQ(r.agent, "Kestrion");
    EXPECT_EQ(r.sessionFlags, 0x04000000u);
    EXPECT_EQ(r.flags, 0x04000002u);
    EXPECT_EQ(r.context, 1u);
    EXPECT_EQ(r.receiveTimeout, 60000u);
    EXPECT_EQ(r.readSizes, (std::vector<size_t>{8096, 8096, 8096}));
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{url});
}

TEST_F(DownloadFileTest, StagingCopyLeavesTheInstalledFileAlone) {
    fake.SetReply(url, Reply("new"));
    fake.AddFile(kPath, "old");
    EXPECT_EQ(DownloadFile(true, 3), 1);
    EXPECT_EQ(fake.files[kPath], "old");
    EXPECT_EQ(fake.files[kPath + "_new"], "new");
}

TEST_F(DownloadFileTest, AddressIsTracedBeforeAnyRequest) {
    fake.SetReply(url, Reply("x"));
    DownloadFile(false, 3);
    ASSERT_GE(fake.events.size(), 2u);
    EXPECT_EQ(fake.events[0], "debug:[Kestrionv4_Setup] " + url);
    EXPECT_EQ(fake.events[1], "request:" + url);
}

TEST_F(DownloadFileTest, EmptyBodyAndStatus416AreAccepted) {
    fake.SetReply(url, Reply(""));
    EXPECT_EQ(DownloadFile(false, 3), 1);
    EXPECT_EQ(fake.files[kPath], "");
    EXPECT_EQ(fake.requests[0].readSizes.size(), 1u);  // one read, also for nothing

    fake.SetReply(url, Reply("range", 416));
    EXPECT_EQ(DownloadFile(false, 3), 1);
    EXPECT_EQ(fake.files[kPath], "range");
}

struct FailureCase {
    const char* what;
    std::function<void(FakeReply&)> change;
};

void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.what; }

class DownloadFailureTest : public DownloadFileTest,
                            public ::testing::WithParamInterface<FailureCase> {};

TEST_P(DownloadFailureTest, LeavesTheDestinationAsItWas) {
    for (bool toNew : {false, true}) {
        const std::string destination = toNew ? kPath + "_new" : kPath;
        fake.files.clear();
        fake.AddFile(destination, "installed");
        FakeReply reply = Reply(Body(20000));
        GetParam().change(reply);
        fake.SetReply(url, reply);
        EXPECT_EQ(DownloadFile(toNew, 3), 0);
        EXPECT_EQ(fake.files[destination], "installed");
        EXPECT_EQ(fake.files.count(destination + ".part"), 0u);
        EXPECT_EQ(fake.files.size(), 1u);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DownloadFailureTest,
    ::testing::Values(
        FailureCase{"status_404", [](FakeReply& r) { r.status = 404; }},
        FailureCase{"status_500", [](FakeReply& r) { r.status = 500; }},
        FailureCase{"no_status", [](FakeReply& r) { r.status.reset(); }},
        FailureCase{"no_length", [](FakeReply& r) { r.contentLength.reset(); }},
        FailureCase{"unreachable", [](FakeReply& r) { r.openThrows = true; }},
        FailureCase{"short_body", [](FakeReply& r) { r.contentLength = 30000; }},
        FailureCase{"read_fails_mid_body", [](FakeReply& r) { r.throwAfter = 9000; }},
        FailureCase{"read_throws_other", [](FakeReply& r) {
                        r.throwAfter = 100;
                        r.throwOther = true;
                    }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.what; });

TEST_F(DownloadFileTest, BodyLongerThanAnnouncedIsCutAtTheLength) {
    FakeReply reply = Reply(Body(100));
    reply.contentLength = 40;
    fake.SetReply(url, reply);
    EXPECT_EQ(DownloadFile(false, 3), 1);
    EXPECT_EQ(fake.files[kPath], Body(40));
}

TEST_F(DownloadFileTest, DestinationInUseFailsWithoutHarm) {
    fake.SetReply(url, Reply("new"));
    fake.AddFile(kPath, "installed");
    fake.lockedFiles.insert(kPath);
    EXPECT_EQ(DownloadFile(false, 3), 0);
    EXPECT_EQ(fake.files[kPath], "installed");
    EXPECT_EQ(fake.files.count(kPath + ".part"), 0u);
}

TEST_F(DownloadFileTest, FolderThatCannotBeWrittenFails) {
    g_FileInfo[3].strLocalPath = "C:\\nowhere\\a.dll";
    for (const std::string& body : {std::string("data"), std::string()}) {
        fake.SetReply(url, Reply(body));
        EXPECT_EQ(DownloadFile(false, 3), 0);
    }
    EXPECT_TRUE(fake.files.empty());
}

TEST_F(DownloadFileTest, FullDiskFailsAndCleansUp) {
    fake.SetReply(url, Reply(Body(20000)));
    fake.diskFullAfter = 10000;
    EXPECT_EQ(DownloadFile(false, 3), 0);
    EXPECT_TRUE(fake.files.empty());
}

TEST_F(DownloadFileTest, RowWithoutNameIsNotFetched) {
    g_FileInfo[3].strURL = "";
    g_FileInfo[3].strLocalPath = "\\";
    fake.SetReply(Url("/Kestrion/"), Reply("listing"));
    EXPECT_EQ(DownloadFile(true, 3), 0);
    EXPECT_EQ(fake.Traces(), std::vector<std::string>{Url("/Kestrion/")});
    EXPECT_TRUE(fake.requests.empty());
    EXPECT_TRUE(fake.files.empty());
}

TEST_F(DownloadFileTest, RowHundredIsAnOrdinaryRow) {
    g_FileInfo[100].strURL = "h.dll";
    g_FileInfo[100].strLocalPath = kSystem + "\\h.dll";
    fake.SetReply(Url("/Kestrion/h.dll"), Reply("h"));
    EXPECT_EQ(DownloadFile(false, 100), 1);
    EXPECT_EQ(fake.files[kSystem + "\\h.dll"], "h");
}

TEST_F(DownloadFileTest, PathIsSentAsStored) {
    g_FileInfo[3].strURL = "dir/%EA%B0%80?x=1";
    fake.SetReply(Url("/Kestrion/dir/%EA%B0%80?x=1"), Reply("q"));
    EXPECT_EQ(DownloadFile(false, 3), 1);
}

}  // namespace
}  // namespace qv::test
