#include "manifest/QVXMLParser.h"

#include "platform/Format.h"

CQVXMLParser::CQVXMLParser() : m_nReserved1(-1), m_nReserved2(0) {}

CQVXMLParser::~CQVXMLParser() = default;

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return;
    std::string result;
    size_t start = 0;
    for (size_t found = text.find(from); found != std::string::npos;
         found = text.find(from, start)) {
        result.append(text, start, found - start);
        result += to;
        start = found + from.size();
    }
    result.append(text, start, std::string::npos);
    text.swap(result);
}

int CQVXMLParser::GetTagValue(std::string strTag, std::string& strValue, int bReplace) {
    strValue.clear();
    const std::string startPattern = qv::Format("<%s", strTag.c_str());
    const std::string endPattern = qv::Format("</%s>", strTag.c_str());

    const size_t open = m_strXML.find(startPattern);
    if (open == std::string::npos) return 0;
    const size_t close = m_strXML.find(endPattern, open + 1);
    if (close == std::string::npos) return 0;
    const size_t gt = m_strXML.find('>', open + 1);
    if (gt == std::string::npos || gt >= close) return 0;

    std::string value = m_strXML.substr(gt + 1, close - gt - 1);
    // The order matters: "&amp;lt;" must come out as "&lt;".
    ReplaceAll(value, "&lt;", "<");
    ReplaceAll(value, "&gt;", ">");
    ReplaceAll(value, "&amp;", "&");
    ReplaceAll(value, "&quot;", "\"");
    if (bReplace == 1) ReplaceChars(value);
    strValue = value;
    return 1;
}

void CQVXMLParser::ReplaceChars(std::string& value) const {
    for (char c : m_strReplaceChars) ReplaceAll(value, std::string(1, c), m_strReplace);
}
