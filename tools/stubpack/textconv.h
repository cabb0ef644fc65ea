// Conversion of manifest texts (UTF-8) into the single-byte or double-byte
// Windows code page that a language section's Charset names, so that a
// German section written in UTF-8 shows its umlauts.
#pragma once

#include <string>

namespace stubpack {

// The Windows code page of a font character set number (0 = ANSI gives
// 1252, 204 = Russian gives 1251, ...); 0 when none is known.
int CodePageOfCharset(int charset);

// Converts UTF-8 text to the code page; false (with a reason) when the text
// is no valid UTF-8 or holds a character the code page lacks.
bool Utf8ToCodePage(const std::string& text, int codePage, std::string* out, std::string* error);

}  // namespace stubpack

namespace stubpack {

// Converts text in a code page to UTF-8 for display; false when the system
// cannot (the caller then shows the bytes escaped).
bool CodePageToUtf8(const std::string& text, int codePage, std::string* out);

}  // namespace stubpack
