#include "util/text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "util/cformat.h"
#include "util/sub.h"

namespace {

const size_t npos = std::string::npos;
const char kDigits[] = "0123456789ABCDEF";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
char UpChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char LowChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

// Two's-complement reinterpretation without relying on implementation-defined casts.
int64_t ToSigned(uint64_t u) {
  int64_t r;
  std::memcpy(&r, &u, sizeof r);
  return r;
}

// 0-based index of sub in text at or after from, optionally ignoring ASCII case.
size_t FindRaw(const std::string& text, const std::string& sub, size_t from, bool ci) {
  if (!ci) return text.find(sub, from);
  if (sub.size() > text.size()) return npos;
  for (size_t i = from; i + sub.size() <= text.size(); ++i) {
    size_t k = 0;
    while (k < sub.size() && UpChar(text[i + k]) == UpChar(sub[k])) ++k;
    if (k == sub.size()) return i;
  }
  return npos;
}

std::string ReplaceImpl(const std::string& text, const std::string& oldPart,
                        const std::string& newPart, int last, int first, bool trim, bool ci) {
  if (text.empty() || oldPart.empty()) return text;
  const bool all = (first == 0 && last == 0);
  const int lo = first;
  const int hi = last <= 0 ? first : last;
  std::string out;
  size_t pos = 0;
  int n = 0;
  for (;;) {
    const size_t f = FindRaw(text, oldPart, pos, ci);
    if (f == npos) break;
    ++n;
    out.append(text, pos, f - pos);
    if (all || (n >= lo && n <= hi))
      out += newPart;
    else
      out.append(text, f, oldPart.size());
    pos = f + oldPart.size();
    if (!all && n >= hi) break;
  }
  out.append(text, pos, npos);
  return trim ? Trim(out) : out;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Whether t is [sign] digits [. digits] [e [sign] digits] with at least one mantissa digit.
bool IsPlainDecimal(const std::string& t) {
  size_t i = 0;
  auto sign = [&] {
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) ++i;
  };
  auto digits = [&] {
    const size_t from = i;
    while (i < t.size() && IsDigit(t[i])) ++i;
    return i - from;
  };
  sign();
  size_t mantissa = digits();
  if (i < t.size() && t[i] == '.') {
    ++i;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (i < t.size() && (t[i] == 'e' || t[i] == 'E')) {
    ++i;
    sign();
    if (digits() == 0) return false;
  }
  return i == t.size();
}

// Days from 1 January 1970 to the given proleptic Gregorian date.
int64_t DaysFromCivil(int64_t y, int m, int d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

// Inverse of DaysFromCivil.
void CivilFromDays(int64_t z, int& y, int& m, int& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int>(yoe + era * 400 + (m <= 2 ? 1 : 0));
}

// Day 0 of the date-time scale, 30 December 1899, counted from 1 January 1970.
const int64_t kEpochShift = 25569;
const int64_t kMsPerDay = 86400000;

int DaysInMonth(int y, int m) {
  static const int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
  return (m == 2 && leap) ? 29 : kDays[m - 1];
}

double Resolve(double dateTime) { return dateTime == -1 ? NowDateTime() : dateTime; }

}  // namespace

// ---- Trimming, case and conversions -------------------------------------

std::string ExtractFileName(const std::string& path) {
  const size_t at = path.find_last_of("\\/:");
  return at == std::string::npos ? path : path.substr(at + 1);
}

std::string Trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && IsBlank(s[b])) ++b;
  while (e > b && IsBlank(s[e - 1])) --e;
  return s.substr(b, e - b);
}

std::string TrimLeft(const std::string& s) {
  size_t b = 0;
  while (b < s.size() && IsBlank(s[b])) ++b;
  return s.substr(b);
}

std::string TrimRight(const std::string& s) {
  size_t e = s.size();
  while (e > 0 && IsBlank(s[e - 1])) --e;
  return s.substr(0, e);
}

std::string UpperCase(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = UpChar(c);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r(s);
  for (char& c : r) c = LowChar(c);
  return r;
}

bool SameText(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpChar(a[i]) != UpChar(b[i])) return false;
  return true;
}

bool TextToInt64(const std::string& s, int64_t* out) {
  const std::string t = Trim(s);
  size_t i = 0;
  bool negative = false;
  if (i < t.size() && (t[i] == '+' || t[i] == '-')) negative = (t[i++] == '-');
  unsigned base = 10;
  if (i < t.size() && t[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= t.size()) return false;
  const uint64_t limit = negative ? 9223372036854775808ull : 9223372036854775807ull;
  uint64_t v = 0;
  for (; i < t.size(); ++i) {
    const char* p = static_cast<const char*>(std::memchr(kDigits, UpChar(t[i]), 16));
    if (!p || static_cast<unsigned>(p - kDigits) >= base) return false;
    const unsigned d = static_cast<unsigned>(p - kDigits);
    if (v > (limit - d) / base) return false;
    v = v * base + d;
  }
  if (out) *out = negative ? ToSigned(0 - v) : static_cast<int64_t>(v);
  return true;
}

int64_t StrToInt64Def(const std::string& s, int64_t def) {
  int64_t v;
  return TextToInt64(s, &v) ? v : def;
}

std::string IntToStr(int64_t v) {
  char buf[24];
  size_t p = sizeof buf;
  uint64_t u = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
  do {
    buf[--p] = static_cast<char>('0' + u % 10);
    u /= 10;
  } while (u);
  if (v < 0) buf[--p] = '-';
  return std::string(buf + p, sizeof buf - p);
}

std::string Format(const char* fmt, ...) {
  if (!fmt) return std::string();
  std::string r;
  char buf[256];
  va_list ap, again;
  va_start(ap, fmt);
  va_copy(again, ap);
  const int n = FormatV(buf, sizeof buf, fmt, ap);
  if (n >= 0 && static_cast<size_t>(n) < sizeof buf) {
    r.assign(buf, static_cast<size_t>(n));
  } else if (n > 0) {
    r.resize(static_cast<size_t>(n));
    FormatV(&r[0], r.size() + 1, fmt, again);
  }
  va_end(again);
  va_end(ap);
  return r;
}

// ---- Text operations ----------------------------------------------------

std::string ReplaceText(const std::string& text, const std::string& oldPart,
                        const std::string& newPart, int last, int first, bool trim) {
  return ReplaceImpl(text, oldPart, newPart, last, first, trim, false);
}

std::string ReplaceTextCI(const std::string& text, const std::string& oldPart,
                          const std::string& newPart, int last, int first, bool trim) {
  return ReplaceImpl(text, oldPart, newPart, last, first, trim, true);
}

std::string ReplaceAll(const std::string& text, const std::string& oldPart,
                       const std::string& newPart, bool trim) {
  std::string r(text);
  if (!oldPart.empty() && newPart.find(oldPart) == npos) {
    size_t from = 0;
    for (long round = 0; round < (1L << 20); ++round) {
      const size_t f = r.find(oldPart, from);
      if (f == npos) break;
      r.replace(f, oldPart.size(), newPart);
      // A new occurrence can only start where it overlaps the replacement.
      from = f >= oldPart.size() - 1 ? f - (oldPart.size() - 1) : 0;
    }
  }
  return trim ? Trim(r) : r;
}

std::string ReplaceChar(const std::string& text, char from, char to) {
  std::string r(text);
  for (char& c : r)
    if (c == from) c = to;
  return r;
}

std::string KeepChars(const std::string& text, const std::string& allowed,
                      const std::string& removed) {
  std::string r;
  for (char c : text)
    if ((allowed.empty() || allowed.find(c) != npos) && removed.find(c) == npos) r += c;
  return r;
}

size_t PosCI(const std::string& sub, const std::string& text) {
  return FindFrom(sub, text, 1, true);
}

size_t FindFrom(const std::string& sub, const std::string& text, size_t start, bool ignoreCase) {
  const size_t from = start < 1 ? 0 : start - 1;
  if (sub.empty() || from > text.size()) return 0;
  const size_t f = FindRaw(text, sub, from, ignoreCase);
  return f == npos ? 0 : f + 1;
}

size_t LastPos(const std::string& sub, const std::string& text) {
  if (sub.empty()) return 0;
  const size_t f = text.rfind(sub);
  return f == npos ? 0 : f + 1;
}

size_t RevPosCI(const std::string& sub, const std::string& text) {
  return PosCI(ReverseText(sub), ReverseText(text));
}

bool SameTextTrim(const std::string& a, const std::string& b) {
  return SameText(Trim(a), Trim(b));
}

bool StartsWith(const std::string& part, const std::string& text, bool ignoreCase) {
  if (part.size() > text.size()) return false;
  const std::string head = text.substr(0, part.size());
  return ignoreCase ? SameText(head, part) : head == part;
}

bool EndsWith(const std::string& part, const std::string& text, bool ignoreCase) {
  if (part.size() > text.size()) return false;
  const std::string tail = text.substr(text.size() - part.size());
  return ignoreCase ? SameText(tail, part) : tail == part;
}

std::string TextBefore(const std::string& text, const std::string& separator,
                       const std::string& def, bool trim) {
  const size_t f = separator.empty() ? npos : text.find(separator);
  const std::string r = f == npos ? def : text.substr(0, f);
  return trim ? Trim(r) : r;
}

std::string TextAfter(const std::string& text, const std::string& separator,
                      const std::string& def, bool trim) {
  const size_t f = separator.empty() ? npos : text.find(separator);
  const std::string r = f == npos ? def : text.substr(f + separator.size());
  return trim ? Trim(r) : r;
}

std::string StripChar(const std::string& text, char ch, bool always, bool single) {
  if (text.size() == 1 && text[0] == ch) return std::string();
  if (text.size() < 2 || !(always || (text.front() == ch && text.back() == ch))) return text;
  size_t b = 0, e = text.size();
  if (single) {
    if (text[b] == ch) ++b;
    if (e > b && text[e - 1] == ch) --e;
  } else {
    while (b < e && text[b] == ch) ++b;
    while (e > b && text[e - 1] == ch) --e;
  }
  return text.substr(b, e - b);
}

std::string Unquote(const std::string& text, bool always) {
  return StripChar(Trim(text), '"', always);
}

std::string Quote(const std::string& text) { return '"' + Unquote(text, true) + '"'; }

std::string Enclose(const std::string& text, char ch, bool strip) {
  return ch + (strip ? StripChar(text, ch, true) : text) + ch;
}

std::string ReverseText(const std::string& text) {
  return std::string(text.rbegin(), text.rend());
}

std::string MarkupToText(const std::string& text) {
  std::string r = ReplaceText(text, "\\\\n", "\r\n");
  r = ReplaceText(r, "\\\\t", "\t");
  r = ReplaceTextCI(r, "<P>", "\r\n");
  return ReplaceTextCI(r, "<T>", "\t");
}

const char* BoolText(bool flag) { return flag ? "TRUE" : "FALSE"; }
const char* BoolChar(bool flag) { return flag ? "1" : "0"; }
std::string IfThenStr(bool flag, const std::string& a, const std::string& b) { return flag ? a : b; }
int64_t IfThenInt(bool flag, int64_t a, int64_t b) { return flag ? a : b; }

// ---- Number texts -------------------------------------------------------

std::string ZeroPad(const std::string& text, int width) { return PadLeft(text, width, '0'); }

std::string ZeroPadInt(int64_t number, int width) { return ZeroPad(IntToStr(number), width); }

std::string PadLeft(const std::string& text, int width, char ch) {
  if (width <= 0 || text.size() >= static_cast<size_t>(width)) return text;
  return std::string(static_cast<size_t>(width) - text.size(), ch) + text;
}

std::string ThousandsText(const std::string& text) {
  const size_t dot = text.find('.');
  const size_t end = dot == npos ? text.size() : dot;
  std::string rev;
  int run = 0;  // digits since the last comma, counted leftwards
  for (size_t i = end; i-- > 0;) {
    if (IsDigit(text[i])) {
      if (run == 3) {
        rev += ',';
        run = 0;
      }
      ++run;
    } else {
      run = 0;
    }
    rev += text[i];
  }
  return ReverseText(rev) + text.substr(end);
}

std::string SizeText(int64_t value, int64_t divisor, int decimals, bool grouping) {
  if (divisor < 1) divisor = 1;
  std::string r;
  if (decimals < 1) {
    // Truncating division already rounds a negative quotient up.
    r = IntToStr(value / divisor + (value % divisor > 0 ? 1 : 0));
  } else {
    const int d = (decimals >= 2 && decimals <= 4) ? decimals : 1;
    r = Format("%.*f", d, static_cast<double>(value) / static_cast<double>(divisor));
  }
  return grouping ? ThousandsText(r) : r;
}

std::string SizeTextKB(int64_t bytes, int decimals, bool grouping) {
  return SizeText(bytes, 1024, decimals, grouping);
}

std::string SizeTextMB(int64_t bytes, int decimals, bool grouping) {
  return SizeText(bytes, 1048576, decimals, grouping);
}

std::string FloatText(double value, int decimals, bool strip) {
  const int d = decimals < 0 ? 0 : (decimals > 20 ? 20 : decimals);
  std::string t = Format("%.*f", d, value);
  if (strip && t.find('.') != npos) {
    const size_t b = t.find_first_not_of('0');  // the '.' guarantees a hit
    const size_t e = t.find_last_not_of('0');
    t = t.substr(b, e - b + 1);
    if (t[0] != '.')
      while (!t.empty() && t.back() == '.') t.pop_back();
    if (t == ".") t = "0";
  }
  return t;
}

double TextToFloat(const std::string& text, double def) {
  std::string t = text.find('.') == npos ? ReplaceChar(text, ',', '.') : text;
  t = Trim(KeepChars(t, "", ","));
  if (!IsPlainDecimal(t)) return def;
  // Read by hand rather than with strtod: the text is already known to be a
  // plain decimal, no locale can change its point, and the C library's
  // full-precision parser is a large part of a small executable.
  size_t i = 0;
  bool negative = false;
  if (t[i] == '+' || t[i] == '-') negative = t[i++] == '-';
  uint64_t mantissa = 0;
  int exponent = 0, significant = 0;
  bool point = false;
  for (; i < t.size() && t[i] != 'e' && t[i] != 'E'; ++i) {
    if (t[i] == '.') {
      point = true;
      continue;
    }
    const int d = t[i] - '0';
    if (significant < 19) {
      if (mantissa != 0 || d != 0) ++significant;
      mantissa = mantissa * 10 + uint64_t(d);
      if (point) --exponent;
    } else if (!point) {
      ++exponent;  // digits beyond the 19th only scale the value
    }
  }
  if (i < t.size()) {
    const std::string e = t.substr(i + 1);
    int64_t ev = 0;
    if (!TextToInt64(e, &ev) || ev > 100000 || ev < -100000) return def;
    exponent += int(ev);
  }
  long double v = static_cast<long double>(mantissa);
  long double scale = 1;
  for (int k = exponent < 0 ? -exponent : exponent; k > 0 && scale < 1e4000L; --k) scale *= 10;
  v = exponent < 0 ? v / scale : v * scale;
  const double out = static_cast<double>(negative ? -v : v);
  if (!std::isfinite(out)) return def;
  return out;
}

int64_t ParseBase(const std::string& text, int base, int64_t def) {
  const std::string t = UpperCase(Trim(text));
  uint64_t v = 0, weight = 1;
  const uint64_t b = static_cast<uint64_t>(static_cast<int64_t>(base));
  for (size_t i = t.size(); i-- > 0;) {
    const char* p = static_cast<const char*>(std::memchr(kDigits, t[i], 16));
    if (!p) return def;
    v += static_cast<uint64_t>(p - kDigits) * weight;
    weight *= b;
  }
  return ToSigned(v);
}

int64_t HexToInt(const std::string& text, int64_t def) {
  std::string t = Trim(text);
  if (StartsWith("0x", t, true)) t.erase(0, 2);
  return ParseBase(t, 16, def);
}

int64_t RandomRange(int64_t low, int64_t high) {
  static uint64_t calls = 0;
  if (low > high) {
    const int64_t t = low;
    low = high;
    high = t;
  }
  // splitmix64 over the clock, the CPU clock, a call counter and a stack
  // address (which varies between processes): enough for picking keys and
  // jitter, not for secrets.
  auto mix = [](uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
  };
  uint64_t seed = mix(static_cast<uint64_t>(std::time(nullptr)));
  seed = mix(seed ^ static_cast<uint64_t>(std::clock()) ^ (++calls << 40));
  seed = mix(seed ^ reinterpret_cast<uintptr_t>(&seed));
  const uint64_t span = static_cast<uint64_t>(high) - static_cast<uint64_t>(low) + 1;
  const uint64_t offset = span == 0 ? seed : seed % span;  // span 0: the whole 64-bit range
  return ToSigned(static_cast<uint64_t>(low) + offset);
}

std::string RandomRangeText(int64_t low, int64_t high) { return IntToStr(RandomRange(low, high)); }

// ---- Dates and times ----------------------------------------------------

double EncodeDateTime(int year, int month, int day, int hour, int minute, int second) {
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
      day > DaysInMonth(year, month) || hour < 0 || hour > 23 || minute < 0 || minute > 59 ||
      second < 0 || second > 59)
    return 0;
  const int64_t days = DaysFromCivil(year, month, day) + kEpochShift;
  return static_cast<double>(days) + (hour * 3600 + minute * 60 + second) / 86400.0;
}

void DecodeDateTime(double dateTime, int& year, int& month, int& day, int& hour, int& minute,
                    int& second) {
  // 1 January 0001 and 1 January 10000 on this scale.
  if (!std::isfinite(dateTime) || dateTime < -693593.0 || dateTime >= 2958466.0) dateTime = 0;
  // Round to the millisecond first so that 0.99999999 of a second is not cut to the one before.
  const int64_t ms = std::llround(dateTime * static_cast<double>(kMsPerDay));
  int64_t days = ms / kMsPerDay;
  int64_t rest = ms % kMsPerDay;
  if (rest < 0) {
    rest += kMsPerDay;
    --days;
  }
  CivilFromDays(days - kEpochShift, year, month, day);
  const int secs = static_cast<int>(rest / 1000);
  hour = secs / 3600;
  minute = secs / 60 % 60;
  second = secs % 60;
}

double NowDateTime() {
  const std::time_t now = std::time(nullptr);
  const std::tm* lt = std::localtime(&now);
  if (!lt) return 0;
  return EncodeDateTime(lt->tm_year + 1900, lt->tm_mon + 1, lt->tm_mday, lt->tm_hour, lt->tm_min,
                        lt->tm_sec > 59 ? 59 : lt->tm_sec);  // a leap second shows as :59
}

std::string DateText(double dateTime) {
  int y, mo, d, h, mi, s;
  DecodeDateTime(Resolve(dateTime), y, mo, d, h, mi, s);
  return Format("%02d-%s-%04d", d, SUB::Item(kMonthTable, mo).c_str(), y);
}

std::string DateTimeText(const std::string& separator, double dateTime) {
  int y, mo, d, h, mi, s;
  const double dt = Resolve(dateTime);
  DecodeDateTime(dt, y, mo, d, h, mi, s);
  return DateText(dt) + separator + Format("%02d:%02d:%02d", h, mi, s);
}

std::string StampText(double dateTime, char dateSep, char timeSep) {
  int y, mo, d, h, mi, s;
  DecodeDateTime(Resolve(dateTime), y, mo, d, h, mi, s);
  return Format("%02d%c%02d%c%02d %02d%c%02d%c%02d", d, dateSep, mo, dateSep, y % 100, h, timeSep,
                mi, timeSep, s);
}
