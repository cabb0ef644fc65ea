#include "textconv.h"

#include <iconv.h>

#include <cerrno>
#include <vector>

namespace stubpack {

int CodePageOfCharset(int charset) {
  switch (charset) {
    case 0: return 1252;    // ANSI_CHARSET
    case 1: return 1252;    // DEFAULT_CHARSET: the system's code page; Western assumed
    case 128: return 932;   // SHIFTJIS_CHARSET
    case 129: return 949;   // HANGUL_CHARSET
    case 134: return 936;   // GB2312_CHARSET
    case 136: return 950;   // CHINESEBIG5_CHARSET
    case 161: return 1253;  // GREEK_CHARSET
    case 162: return 1254;  // TURKISH_CHARSET
    case 163: return 1258;  // VIETNAMESE_CHARSET
    case 177: return 1255;  // HEBREW_CHARSET
    case 178: return 1256;  // ARABIC_CHARSET
    case 186: return 1257;  // BALTIC_CHARSET
    case 204: return 1251;  // RUSSIAN_CHARSET
    case 222: return 874;   // THAI_CHARSET
    case 238: return 1250;  // EASTEUROPE_CHARSET
    default: return 0;
  }
}

bool Utf8ToCodePage(const std::string& text, int codePage, std::string* out, std::string* error) {
  out->clear();
  if (text.empty()) return true;
  std::string target = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open(target.c_str(), "UTF-8");
  if (cd == iconv_t(-1)) {
    *error = "this system cannot convert UTF-8 to code page " + std::to_string(codePage);
    return false;
  }
  std::string in = text;
  char* inp = &in[0];
  size_t inLeft = in.size();
  std::vector<char> buf(in.size() * 2 + 16);
  bool ok = true;
  while (inLeft > 0) {
    char* outp = buf.data();
    size_t outLeft = buf.size();
    size_t rc = iconv(cd, &inp, &inLeft, &outp, &outLeft);
    out->append(buf.data(), buf.size() - outLeft);
    if (rc != size_t(-1)) continue;
    if (errno == E2BIG) continue;
    size_t at = size_t(inp - &in[0]);
    *error = errno == EILSEQ ? "the character at byte " + std::to_string(at) + " is not in code page " +
                                   std::to_string(codePage) + " (or the text is no valid UTF-8)"
                             : "incomplete UTF-8 sequence at byte " + std::to_string(at);
    ok = false;
    break;
  }
  iconv_close(cd);
  return ok;
}

}  // namespace stubpack

namespace stubpack {

bool CodePageToUtf8(const std::string& text, int codePage, std::string* out) {
  out->clear();
  if (text.empty()) return true;
  std::string source = "CP" + std::to_string(codePage);
  iconv_t cd = iconv_open("UTF-8", source.c_str());
  if (cd == iconv_t(-1)) return false;
  std::string in = text;
  char* inp = &in[0];
  size_t inLeft = in.size();
  std::vector<char> buf(in.size() * 4 + 16);
  char* outp = buf.data();
  size_t outLeft = buf.size();
  bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != size_t(-1) && inLeft == 0;
  iconv_close(cd);
  if (ok) out->assign(buf.data(), buf.size() - outLeft);
  return ok;
}

}  // namespace stubpack
