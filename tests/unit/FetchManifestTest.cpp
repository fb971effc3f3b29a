#include "manifest/FetchManifest.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kVista = Url("/Kestrion/Kestrionv4vista.ini");
const std::string kXp = Url("/Kestrion/Kestrionv4xp.ini");

class FetchManifestTest : public ProgramTest {
protected:
    std::vector<std::string> ExpectedTraces() const {
        return {"설치 파일 정보 확인", "파일 정보 확인 완료"};
    }
};

TEST_F(FetchManifestTest, ChoosesTheManifestByWindowsVersion) {
    struct Case {
        std::optional<OsVersion> version;
        std::string url;
    } cases[] = {
        {OsVersion{2, 6, 0}, kVista}, {OsVersion{2, 6, 1}, kVista}, {OsVersion{2, 10, 0}, kVista},
        {OsVersion{2, 5, 1}, kXp},    {OsVersion{1, 6, 0}, kXp},    {std::nullopt, kXp},
    };
    for (const Case& c : cases) {
        fake.requests.clear();
        fake.osVersion = c.version;
        FetchManifest();
        ASSERT_EQ(fake.requests.size(), 1u);
        EXPECT_EQ(fake.requests[0].url, c.url);
    }
}

TEST_F(FetchManifestTest, RequestsUncachedWithTheSetupAgentAndTimeouts) {
    fake.SetReply(kVista, Reply("<UPDATE>x</UPDATE>"));
    EXPECT_EQ(FetchManifest(), "x");
    ASSERT_EQ(fake.requests.size(), 1u);
    const RequestRecord& r = fake.requests[0];
    EXPECT_EQ(r.agent, "Kestrionv4Setup");
    EXPECT_EQ(r.sessionContext, 1u);
    EXPECT_EQ(r.sessionFlags, 0x04000000u);
    EXPECT_EQ(r.flags, 0x04000002u);
    EXPECT_EQ(r.context, 1u);
    EXPECT_EQ(r.connectTimeout, 60000u);
    EXPECT_EQ(r.sendTimeout, 60000u);
    EXPECT_EQ(r.receiveTimeout, 60000u);
    EXPECT_EQ(fake.Traces(), ExpectedTraces());
}

struct ReplyCase {
    const char* what;
    FakeReply reply;
    std::string result;
};

void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.what; }

FakeReply With(FakeReply reply, std::function<void(FakeReply&)> change) {
    change(reply);
    return reply;
}

class FetchManifestReplyTest : public FetchManifestTest,
                               public ::testing::WithParamInterface<ReplyCase> {};

TEST_P(FetchManifestReplyTest, GivesTheUpdateElementOrNothing) {
    fake.SetReply(kVista, GetParam().reply);
    EXPECT_EQ(FetchManifest(), GetParam().result);
    EXPECT_EQ(fake.Traces(), ExpectedTraces());
    EXPECT_TRUE(fake.boxes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Replies, FetchManifestReplyTest,
    ::testing::Values(
        ReplyCase{"plain", Reply("<UPDATE>x</UPDATE>"), "x"},
        ReplyCase{"text around", Reply("<?xml version=\"1.0\"?>\r\n<UPDATE>\r\n<A/>\r\n</UPDATE>junk"),
                  "\r\n<A/>\r\n"},
        ReplyCase{"entities", Reply("<UPDATE>&amp;lt;</UPDATE>"), "&lt;"},
        ReplyCase{"status 416", Reply("<UPDATE>x</UPDATE>", 416), "x"},
        ReplyCase{"status 404", Reply("<UPDATE>x</UPDATE>", 404), ""},
        ReplyCase{"status 500", Reply("<UPDATE>x</UPDATE>", 500), ""},
        ReplyCase{"no status", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.status.reset(); }), ""},
        ReplyCase{"no length", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.contentLength.reset(); }), ""},
        ReplyCase{"length 0", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.contentLength = 0; }), ""},
        ReplyCase{"zero byte", Reply(std::string("<UPDATE>x\0</UPDATE>", 19)), ""},
        ReplyCase{"zero byte after", Reply(std::string("<UPDATE>x</UPDATE>\0<UPDATE>y</UPDATE>", 37)), "x"},
        ReplyCase{"no end tag", Reply("<UPDATE>x"), ""},
        // The largest manifest that fits the buffer with its terminating zero, and one byte more.
        ReplyCase{"8095 bytes", Reply("<UPDATE>" + std::string(8095 - 17, 'x') + "</UPDATE>"),
                  std::string(8095 - 17, 'x')},
        ReplyCase{"8096 bytes", Reply("<UPDATE>" + std::string(8096 - 17, 'x') + "</UPDATE>"), ""},
        ReplyCase{"announced too long", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.contentLength = 100000; }), ""},
        ReplyCase{"in small pieces", With(Reply("<UPDATE>abcdefghij</UPDATE>"), [](FakeReply& r) { r.chunk = 3; }), "abcdefghij"},
        ReplyCase{"shorter than announced", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.contentLength = 50; }), "x"},
        ReplyCase{"read fails", With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) { r.throwAfter = 5; }), ""},
        ReplyCase{"unreachable", With(Reply(""), [](FakeReply& r) { r.openThrows = true; }), ""}),
    [](const ::testing::TestParamInfo<ReplyCase>& info) {
        std::string name;
        for (const char* c = info.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
        return name;
    });

TEST_F(FetchManifestTest, UnexpectedFailureIsReportedAsUnknownError) {
    fake.SetReply(kVista, With(Reply("<UPDATE>x</UPDATE>"), [](FakeReply& r) {
                      r.throwAfter = 0;
                      r.throwOther = true;
                  }));
    EXPECT_EQ(FetchManifest(), "");
    ASSERT_EQ(fake.boxes.size(), 1u);
    EXPECT_EQ(fake.boxes[0].text, "알수 없는 오류");
    EXPECT_TRUE(fake.boxes[0].application);
    EXPECT_EQ(fake.boxes[0].type, 0u);
    EXPECT_EQ(fake.Traces(), ExpectedTraces());
}

}  // namespace
}  // namespace qv::test
