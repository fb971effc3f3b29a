#include "system/FileVersion.h"

#include "tests/unit/TestSupport.h"

namespace qv::test {
namespace {

class FileVersionTest : public ProgramTest {
protected:
    FileInfo& Row(int i, const std::string& name, const std::string& version,
                  const std::string& dest) {
        FileInfo& row = g_FileInfo[i];
        row.strName = name;
        row.strVersion = version;
        row.strDestDir = dest;
        dialog.m_nFileCount = std::max(dialog.m_nFileCount, i + 1);
        return row;
    }
};

TEST_F(FileVersionTest, FolderCodes) {
    const std::pair<std::string, std::string> cases[] = {
        {"10", kWindows + "\\a.dll"}, {"11", kSystem + "\\a.dll"},   {"12", "\\a.dll"},
        {"", "\\a.dll"},              {"abc", "\\a.dll"},            {"  11", kSystem + "\\a.dll"},
        {"\r\n11", kSystem + "\\a.dll"}, {"11abc", kSystem + "\\a.dll"}, {"011", kSystem + "\\a.dll"},
        {"1 1", "\\a.dll"},
    };
    for (const auto& [dest, path] : cases) {
        Row(0, "a.dll", "0", dest);
        CheckFiles(&dialog);
        EXPECT_EQ(g_FileInfo[0].strLocalPath, path) << "[" << dest << "]";
    }
}

TEST_F(FileVersionTest, FolderTheShellCannotGiveIsEmpty) {
    fake.specialFolders.clear();
    EXPECT_EQ(GetSpecialFolder(10), "");
    EXPECT_EQ(GetSpecialFolder(11), "");
    Row(0, "a.dll", "0", "11");
    CheckFiles(&dialog);
    EXPECT_EQ(g_FileInfo[0].strLocalPath, "\\a.dll");
}

TEST_F(FileVersionTest, VersionTextComesFromTheFixedFileVersion) {
    fake.AddFile("C:\\v.dll", "", Version(4, 0, 1, 23));
    fake.AddFile("C:\\max.dll", "", Version(65535, 65535, 65535, 65535));
    fake.AddFile("C:\\zero.dll", "", Version(0, 0, 0, 0));
    fake.AddFile("C:\\plain.txt");
    EXPECT_EQ(GetFileVersionString("C:\\v.dll"), "4, 0, 1, 23");
    EXPECT_EQ(GetFileVersionString("C:\\max.dll"), "65535, 65535, 65535, 65535");
    EXPECT_EQ(GetFileVersionString("C:\\zero.dll"), "0, 0, 0, 0");
    EXPECT_EQ(GetFileVersionString("C:\\plain.txt"), "1, 0, 0, 0");
    EXPECT_EQ(GetFileVersionString("C:\\missing.dll"), "1, 0, 0, 0");
    EXPECT_EQ(GetFileVersionString("C:\\WINDOWS"), "1, 0, 0, 0");
}

TEST_F(FileVersionTest, ComparisonIsExactText) {
    fake.AddFile("C:\\v.dll", "", Version(4, 0, 1, 23));
    EXPECT_EQ(CompareFileVersion("C:\\v.dll", "4, 0, 1, 23"), 0);
    for (const char* other : {"4,0,1,23", "4.0.1.23", "4, 0, 1, 22", "4, 0, 1, 24", "4, 0, 1, 23 ",
                              "04, 0, 1, 23", "0"})
        EXPECT_NE(CompareFileVersion("C:\\v.dll", other), 0) << other;
    EXPECT_EQ(CompareFileVersion("C:\\plain.dll", "1, 0, 0, 0"), 0);
}

TEST_F(FileVersionTest, CheckFilesMarksWhatMustBeDownloaded) {
    fake.AddFile(kSystem + "\\same.dll", "", Version(4, 0, 1, 23));
    fake.AddFile(kSystem + "\\older.dll", "", Version(4, 0, 1, 22));
    fake.AddFile(kSystem + "\\newer.dll", "", Version(4, 0, 1, 24));
    fake.AddFile(kWindows + "\\any.exe", "", Version(9, 9, 9, 9));
    fake.AddFile(kSystem + "\\plain.dll");
    fake.AddFolder(kSystem + "\\folder.dll");
    struct Case {
        std::string name, version, dest;
        int need;
    } cases[] = {
        {"same.dll", "4, 0, 1, 23", "11", 0},  {"older.dll", "4, 0, 1, 23", "11", 1},
        {"newer.dll", "4, 0, 1, 23", "11", 1}, {"any.exe", "0", "10", 0},
        {"missing.dll", "0", "11", 1},          {"missing2.dll", "4, 0, 1, 23", "11", 1},
        {"plain.dll", "1, 0, 0, 0", "11", 0},   {"plain.dll", "4, 0, 1, 23", "11", 1},
        {"folder.dll", "1, 0, 0, 0", "11", 0},  {"folder.dll", "0", "11", 0},
        {"same.dll", "4, 0, 1, 23", "10", 1},  // looked for in the wrong folder
    };
    int i = 0;
    for (const Case& c : cases) {
        Row(i, c.name, c.version, c.dest).nNeedUpdate = 1 - c.need;  // stale marks are replaced
        ++i;
    }
    g_FileInfo[RUNTIME_SLOT].strLocalPath = "untouched";
    EXPECT_EQ(CheckFiles(&dialog), 1);
    for (int j = 0; j < i; ++j)
        EXPECT_EQ(g_FileInfo[j].nNeedUpdate, cases[j].need) << cases[j].name << " " << cases[j].dest;
    EXPECT_EQ(g_FileInfo[i].strLocalPath, "");
    EXPECT_EQ(g_FileInfo[RUNTIME_SLOT].strLocalPath, "untouched");
    EXPECT_EQ(fake.Traces(), (std::vector<std::string>{"파일 체크 시작", "파일 체크 완료"}));
}

TEST_F(FileVersionTest, OverlongPathCountsAsMissing) {
    const std::string name(260, 'a');
    fake.AddFile(kSystem + "\\" + name, "", Version(1, 0, 0, 0));
    Row(0, name, "0", "11");
    CheckFiles(&dialog);
    EXPECT_EQ(g_FileInfo[0].nNeedUpdate, 1);
}

TEST_F(FileVersionTest, NoRowsOnlyTraces) {
    g_FileInfo[0].strName = "a.dll";
    dialog.m_nFileCount = 0;
    CheckFiles(&dialog);
    EXPECT_EQ(g_FileInfo[0].strLocalPath, "");
    EXPECT_EQ(fake.Traces().size(), 2u);
}

TEST_F(FileVersionTest, VistaOrLater) {
    const std::pair<std::optional<OsVersion>, bool> cases[] = {
        {OsVersion{2, 6, 0}, true},  {OsVersion{2, 6, 1}, true}, {OsVersion{2, 10, 0}, true},
        {OsVersion{2, 5, 1}, false}, {OsVersion{1, 6, 0}, false}, {OsVersion{1, 4, 10}, false},
        {std::nullopt, false},
    };
    for (const auto& [version, expected] : cases) {
        fake.osVersion = version;
        EXPECT_EQ(IsVistaOrLater(), expected);
    }
}

}  // namespace
}  // namespace qv::test
