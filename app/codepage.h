// Conversion between UTF-8 and the program's GB2312 (code page 936) texts.
#pragma once

#include <string>
#include <string_view>

namespace frame {

// A text in code page 936: bytes of 0x80 and above start a two-byte character.
using GbText = std::string;

// UTF-8 to code page 936. Characters the code page lacks become '?'.
GbText Gb(std::string_view utf8);

// Code page 936 to UTF-8. Byte sequences that are not valid become U+FFFD.
std::string Utf8(std::string_view gb);

}  // namespace frame
