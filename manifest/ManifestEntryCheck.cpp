#include "manifest/ManifestEntryCheck.h"

#include <climits>

namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

bool IsAllowedNameByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
           c == '.' || c == '_' || c == '-' || c >= 0x80;
}

}  // namespace

int ReadLeadingInt(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) return value > INT_MAX ? INT_MIN : static_cast<int>(-value);
    return value > INT_MAX ? INT_MAX : static_cast<int>(value);
}

bool IsSafeFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
    for (char c : name)
        if (!IsAllowedNameByte(static_cast<unsigned char>(c))) return false;
    return true;
}

bool IsKnownDestination(const std::string& destDir) {
    const int code = ReadLeadingInt(destDir);
    return code == 10 || code == 11;
}

bool IsSafeServerPath(const std::string& url) {
    for (char c : url) {
        const unsigned char byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) return false;
    }
    return true;
}

bool IsSafeEntry(const FileInfo& entry) {
    return IsSafeFileName(entry.strName) && IsKnownDestination(entry.strDestDir) &&
           IsSafeServerPath(entry.strURL);
}
