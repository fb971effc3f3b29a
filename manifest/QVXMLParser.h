#pragma once
#include <cstdint>
#include <string>

// Takes the text between a start tag and its end tag out of m_strXML. Not an
// XML parser: the start tag matches as a prefix, the first end tag after it
// closes the element, and every call searches the whole document.
class CQVXMLParser {
public:
    CQVXMLParser();
    virtual ~CQVXMLParser();

    // 1 and the unescaped value when the element is found; 0 and an empty
    // value otherwise. bReplace 1 also applies ReplaceChars.
    int GetTagValue(std::string strTag, std::string& strValue, int bReplace);
    void ReplaceChars(std::string& value) const;

    std::string m_strXML;
    std::string m_strReplace;
    std::string m_strReplaceChars;
    int32_t m_nReserved1;
    std::string m_strReserved1;
    int32_t m_nReserved2;
    std::string m_strReserved2;
};

// Replaces every occurrence of from, left to right, without rescanning what it inserts.
void ReplaceAll(std::string& text, const std::string& from, const std::string& to);
