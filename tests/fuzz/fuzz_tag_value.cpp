// The tag value extractor on any document and tag.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "manifest/QVXMLParser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    // First byte: the tag's length; then the tag; then the document.
    const size_t tagLength = std::min<size_t>(data[0] % 16, size - 1);
    const std::string tag(reinterpret_cast<const char*>(data + 1), tagLength);
    CQVXMLParser parser;
    parser.m_strXML.assign(reinterpret_cast<const char*>(data + 1 + tagLength), size - 1 - tagLength);
    parser.m_strReplaceChars = "-";
    parser.m_strReplace = "+";
    std::string value = "left over";
    const int found = parser.GetTagValue(tag, value, data[0] & 0x80 ? 1 : 0);
    if (found != 0 && found != 1) std::abort();
    if (found == 0 && !value.empty()) std::abort();
    // Unescaping only shortens the text between the tags.
    if (found == 1 && value.size() > parser.m_strXML.size()) std::abort();
    return 0;
}
