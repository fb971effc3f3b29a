#pragma once
#include <string>

namespace qv {

// printf-style formatting into a string, as the program formats its messages.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace qv
