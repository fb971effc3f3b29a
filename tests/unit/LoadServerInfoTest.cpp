#include "manifest/LoadServerInfo.h"

#include <climits>

#include "manifest/ManifestEntryCheck.h"
#include "platform/Format.h"
#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

const std::string kVista = Url("/Kestrion/Kestrionv4vista.ini");

struct Entry {
    std::string name, version, url, dest, execute;
};

std::string EntryText(int index, const Entry& e) {
    return Format("<FILE%d><NAME>%s</NAME><VERSION>%s</VERSION><URL>%s</URL><DESTDIR>%s</DESTDIR>"
                  "<EXCUTE>%s</EXCUTE></FILE%d>\r\n",
                  index, e.name.c_str(), e.version.c_str(), e.url.c_str(), e.dest.c_str(),
                  e.execute.c_str(), index);
}

std::string Manifest(const std::string& count, const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"euc-kr\"?>\r\n<UPDATE>\r\n<FILECOUNT>" + count +
           "</FILECOUNT>\r\n" + entries + "</UPDATE>\r\n";
}

const Entry kA{"a.dll", "4, 0, 0, 12", "a.dll", "11", "1"};
const Entry kB{"b.exe", "0", "b.exe", "10", "0"};

class LoadServerInfoTest : public ProgramTest {
protected:
    int Load(const std::string& body) {
        fake.SetReply(kVista, Reply(body));
        return LoadServerInfo(&dialog);
    }
    void ExpectRow(int i, const Entry& e) {
        const FileInfo& row = g_FileInfo[i];
        EXPECT_EQ(row.strName, e.name) << "row " << i;
        EXPECT_EQ(row.strVersion, e.version) << "row " << i;
        EXPECT_EQ(row.strURL, e.url) << "row " << i;
        EXPECT_EQ(row.strDestDir, e.dest) << "row " << i;
        EXPECT_EQ(row.strExecute, e.execute) << "row " << i;
        EXPECT_EQ(row.strLocalPath, "") << "row " << i;
        EXPECT_EQ(row.nNeedUpdate, 0) << "row " << i;
    }
    bool TracedDone() const {
        const std::vector<std::string> traces = fake.Traces();
        return std::find(traces.begin(), traces.end(), "파일 정보 파싱 완료") != traces.end();
    }
};

TEST_F(LoadServerInfoTest, FillsTheRowsOfTheSampleManifest) {
    EXPECT_EQ(Load(Manifest("2", EntryText(0, kA) + EntryText(1, kB))), 0);
    EXPECT_EQ(dialog.m_nFileCount, 2);
    ExpectRow(0, kA);
    ExpectRow(1, kB);
    ExpectRow(2, Entry{});
    EXPECT_EQ(fake.Traces(), (std::vector<std::string>{"설치 파일 정보 확인", "파일 정보 확인 완료",
                                                       "파일 정보 파싱", "파일 정보 파싱 완료"}));
}

TEST_F(LoadServerInfoTest, NoCountMeansNoManifest) {
    const std::string bodies[] = {
        "", "<FILECOUNT>1</FILECOUNT>", "<UPDATE></UPDATE>",
        "<UPDATE><FILE0><NAME>a</NAME></FILE0></UPDATE>", "<UPDATE><FILECOUNT></FILECOUNT></UPDATE>",
        "<UPDATE><FILECOUNT>1</FILECOUNT>",  // cut off
    };
    for (const std::string& body : bodies) {
        fake.debugLines.clear();
        dialog.m_nFileCount = 42;
        EXPECT_EQ(Load(body), 100) << body;
        EXPECT_EQ(dialog.m_nFileCount, 42);
        EXPECT_EQ(fake.Traces().back(), "파일 정보 파싱");
    }
    fake.replies.clear();  // unreachable server
    EXPECT_EQ(LoadServerInfo(&dialog), 100);
}

TEST_F(LoadServerInfoTest, CountIsReadAsAtoiReadsIt) {
    const std::pair<std::string, int> cases[] = {
        {"0", 0}, {"abc", 0}, {" 3", 3}, {"3 files", 3}, {"\r\n2", 2}, {"-2", -2}, {"+1", 1}, {"-99999999999", INT_MIN},
    };
    for (const auto& [text, count] : cases) {
        dialog.m_nFileCount = 42;
        EXPECT_EQ(Load(Manifest(text, EntryText(0, kA) + EntryText(1, kB) + EntryText(2, kB))), 0)
            << text;
        EXPECT_EQ(dialog.m_nFileCount, count) << text;
        EXPECT_TRUE(TracedDone());
    }
}

TEST_F(LoadServerInfoTest, NegativeCountWritesNoRows) {
    EXPECT_EQ(Load(Manifest("-2", EntryText(0, kA))), 0);
    EXPECT_EQ(dialog.m_nFileCount, -2);
    ExpectRow(0, Entry{});
}

TEST_F(LoadServerInfoTest, MissingEntriesGiveEmptyRowsThatStillCount) {
    EXPECT_EQ(Load(Manifest("3", EntryText(0, kA) + EntryText(1, kB))), 0);
    EXPECT_EQ(dialog.m_nFileCount, 3);
    ExpectRow(0, kA);
    ExpectRow(1, kB);
    ExpectRow(2, Entry{});
}

TEST_F(LoadServerInfoTest, EntriesAreFoundByNumberAnywhereInTheManifest) {
    // FILE3 is never read; FILE0 is missing.
    EXPECT_EQ(Load(Manifest("3", EntryText(2, kB) + EntryText(1, kA) + EntryText(3, kA))), 0);
    ExpectRow(0, Entry{});
    ExpectRow(1, kA);
    ExpectRow(2, kB);
}

TEST_F(LoadServerInfoTest, LongerNumberStandingFirstIsTakenForTheShorter) {
    const Entry ten{"ten.dll", "0", "ten.dll", "11", "0"};
    EXPECT_EQ(Load(Manifest("2", EntryText(0, kA) + EntryText(10, ten) + EntryText(1, kB))), 0);
    ExpectRow(1, ten);
}

TEST_F(LoadServerInfoTest, ValuesAreKeptUntrimmedAndUnescapedOncePerElement) {
    const Entry raw{"a.dll", " 4, 0, 0, 12 ", "dir/a&amp;amp;amp;b.dll", "\r\n11", " 1"};
    EXPECT_EQ(Load(Manifest("1", EntryText(0, raw))), 0);
    ExpectRow(0, Entry{"a.dll", " 4, 0, 0, 12 ", "dir/a&b.dll", "\r\n11", " 1"});
}

TEST_F(LoadServerInfoTest, OnlyTheFirstCountCounts) {
    EXPECT_EQ(Load(Manifest("1", EntryText(0, kA) + EntryText(1, kB) + "<FILECOUNT>2</FILECOUNT>")), 0);
    EXPECT_EQ(dialog.m_nFileCount, 1);
    ExpectRow(1, Entry{});
}

TEST_F(LoadServerInfoTest, FullTableLeavesTheRuntimeRowAlone) {
    g_FileInfo[RUNTIME_SLOT].strName = "ks_vcredist_x86.exe";
    // Terse entries: 127 full ones would not fit into a manifest.
    std::string entries;
    for (int i = 0; i < 127; ++i)
        entries += Format("<FILE%d><NAME>f%d</NAME><DESTDIR>11</DESTDIR></FILE%d>", i, i, i);
    EXPECT_EQ(Load("<UPDATE><FILECOUNT>127</FILECOUNT>" + entries + "</UPDATE>"), 0);
    EXPECT_EQ(dialog.m_nFileCount, 127);
    EXPECT_EQ(g_FileInfo[126].strName, "f126");
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strName, "ks_vcredist_x86.exe");
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strURL, "");
}

class RefusedManifestTest : public LoadServerInfoTest {
protected:
    void SetUp() override {
        dialog.m_nFileCount = 5;
        g_FileInfo[0].strName = "installed.dll";
    }
    void ExpectRefused(const std::string& body, const std::string& trace) {
        fake.debugLines.clear();
        EXPECT_EQ(Load(body), 100);
        EXPECT_EQ(dialog.m_nFileCount, 5);
        EXPECT_EQ(g_FileInfo[0].strName, "installed.dll");
        EXPECT_EQ(g_FileInfo[1].strName, "");
        EXPECT_EQ(fake.Traces().back(), trace);
    }
};

TEST_F(RefusedManifestTest, MoreFilesThanTheTableHolds) {
    ExpectRefused(Manifest("128", EntryText(0, kA)), "파일 개수 초과: 128");
    ExpectRefused(Manifest("99999999999", EntryText(0, kA)), Format("파일 개수 초과: %d", INT_MAX));
}

TEST_F(RefusedManifestTest, AnyUnsafeEntryRefusesTheWholeManifest) {
    const Entry bad[] = {
        {"", "0", "x.dll", "11", "1"},
        {".", "0", "x.dll", "11", "1"},
        {"..", "0", "x.dll", "11", "1"},
        {"..\\evil.dll", "0", "x.dll", "11", "1"},
        {"sub/evil.dll", "0", "x.dll", "11", "1"},
        {"C:evil.dll", "0", "x.dll", "11", "1"},
        {" a.dll ", "0", "a.dll", "11", "1"},
        {"a b.dll", "0", "a.dll", "11", "1"},
        {"a&amp;amp;amp;b.dll", "0", "a.dll", "11", "1"},
        {"a%b.dll", "0", "a.dll", "11", "1"},
        {"a\tb.dll", "0", "a.dll", "11", "1"},
        {"a.dll", "0", "a.dll", "12", "1"},
        {"a.dll", "0", "a.dll", "", "1"},
        {"a.dll", "0", "a.dll", "system", "1"},
        {"a.dll", "0", "a dll", "11", "1"},
        {"a.dll", "0", "a.dll\r\n", "11", "1"},
        {"a.dll", "0", "a\x7F.dll", "11", "1"},
    };
    for (const Entry& entry : bad) {
        SCOPED_TRACE(entry.name + "|" + entry.dest + "|" + entry.url);
        ExpectRefused(Manifest("3", EntryText(0, kA) + EntryText(1, kB) + EntryText(2, entry)),
                      "잘못된 파일 정보: FILE2");
    }
    ExpectRefused(Manifest("2", EntryText(0, kA) + "<FILE1>\r\n</FILE1>"), "잘못된 파일 정보: FILE1");
}

TEST(ManifestEntryCheckTest, AcceptsWhatTheProductShips) {
    EXPECT_TRUE(IsSafeEntry(FileInfo{"QVKsCore.dll", "4, 0, 0, 12", "v4/QVKsCore.dll", "11", "", "1"}));
    EXPECT_TRUE(IsSafeEntry(FileInfo{"\xB0\xA1\xB3\xAA_1-2.exe", "0", "%EA%B0%80.exe", " 10", "", "0"}));
    EXPECT_TRUE(IsSafeEntry(FileInfo{"a.dll", "0", "a.dll", "11 folder", "", ""}));
    EXPECT_TRUE(IsSafeEntry(FileInfo{"a.dll", "", "", "11", "", ""}));
}

}  // namespace
}  // namespace qv::test
