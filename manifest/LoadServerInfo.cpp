#include "manifest/LoadServerInfo.h"

#include <vector>

#include "app/QVKestrionv4SetupDlg.h"
#include "manifest/FetchManifest.h"
#include "manifest/FileInfo.h"
#include "manifest/ManifestEntryCheck.h"
#include "manifest/QVXMLParser.h"
#include "platform/Format.h"
#include "system/DebugLog.h"

namespace {

std::string TrimWhitespace(const std::string& text) {
    const char* const kWhitespace = " \t\n\v\f\r";
    const size_t first = text.find_first_not_of(kWhitespace);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(kWhitespace);
    return text.substr(first, last - first + 1);
}

struct ParsedEntry {
    FileInfo fields;
    bool present = false;
};

ParsedEntry ParseEntry(CQVXMLParser& parser, const std::string& manifest, int index) {
    ParsedEntry entry;
    std::string block;
    parser.m_strXML = manifest;
    parser.GetTagValue(qv::Format("FILE%d", index), block, 0);
    // An element present with an empty value looks missing, as for every field.
    entry.present = !block.empty();
    parser.m_strXML = block;
    parser.GetTagValue("NAME", entry.fields.strName, 0);
    parser.GetTagValue("VERSION", entry.fields.strVersion, 0);
    parser.GetTagValue("URL", entry.fields.strURL, 0);
    parser.GetTagValue("DESTDIR", entry.fields.strDestDir, 0);
    parser.GetTagValue("EXCUTE", entry.fields.strExecute, 0);
    return entry;
}

}  // namespace

int LoadServerInfo(CQVKestrionv4SetupDlg* dialog) {
    const std::string manifest = TrimWhitespace(FetchManifest());
    WriteDebugLog("파일 정보 파싱");

    CQVXMLParser parser;
    std::string countText;
    parser.m_strXML = manifest;
    parser.GetTagValue("FILECOUNT", countText, 0);
    if (countText.empty()) return LOAD_SERVER_INFO_FAILED;

    const int count = ReadLeadingInt(countText);
    if (count > MAX_MANIFEST_FILES) {
        // Installing only the first entries would leave the product half there.
        WriteDebugLog(qv::Format("파일 개수 초과: %d", count).c_str());
        return LOAD_SERVER_INFO_FAILED;
    }

    // The whole manifest must pass before the table sees any of it.
    std::vector<FileInfo> rows;
    for (int i = 0; i < count; ++i) {
        ParsedEntry entry = ParseEntry(parser, manifest, i);
        if (entry.present && !IsSafeEntry(entry.fields)) {
            WriteDebugLog(qv::Format("잘못된 파일 정보: FILE%d", i).c_str());
            return LOAD_SERVER_INFO_FAILED;
        }
        rows.push_back(std::move(entry.fields));
    }

    dialog->m_nFileCount = count;
    for (size_t i = 0; i < rows.size(); ++i) {
        FileInfo& row = g_FileInfo[i];
        row.strName = rows[i].strName;
        row.strVersion = rows[i].strVersion;
        row.strURL = rows[i].strURL;
        row.strDestDir = rows[i].strDestDir;
        row.strExecute = rows[i].strExecute;
    }

    WriteDebugLog("파일 정보 파싱 완료");
    return LOAD_SERVER_INFO_OK;
}
