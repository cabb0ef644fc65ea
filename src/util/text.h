// Text, number and date helpers shared by every part of the stub.
//
// Texts are single-byte strings; "ignoring case" always means ASCII letters
// only, and "trim" removes every character with code <= 32 (space and control
// characters) at both ends. Positions returned by PosCI, FindFrom, LastPos and
// RevPosCI are 1-based, with 0 meaning "not found". No function throws.
//
// Date-times are days (with fraction) since 30 December 1899 00:00, local
// time; the text functions read a date-time of -1 as "now".
#ifndef STUB_UTIL_TEXT_H
#define STUB_UTIL_TEXT_H

#include <cstddef>
#include <cstdint>
#include <string>

// <commdlg.h> defines ReplaceText as a macro for its Find/Replace dialog. A
// Windows file that uses this header must include it after <windows.h> (or
// build with WIN32_LEAN_AND_MEAN), so the macro cannot rename our function.
#ifdef ReplaceText
#undef ReplaceText
#endif

#if defined(__MINGW32__)
#define STUB_PRINTF_LIKE(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define STUB_PRINTF_LIKE(f, a) __attribute__((format(printf, f, a)))
#else
#define STUB_PRINTF_LIKE(f, a)
#endif

// Months as a field list: field n is the three-letter name of month n.
inline constexpr char kMonthTable[] = "||JAN|FEB|MAR|APR|MAY|JUN|JUL|AUG|SEP|OCT|NOV|DEC|";

// ---- Trimming, case and conversions -------------------------------------

// The part of a path after its last "\\", "/" or ":" (the whole text when
// it has none).
std::string ExtractFileName(const std::string& path);
// s without characters <= 32 at both ends.
std::string Trim(const std::string& s);
// s without characters <= 32 at its start.
std::string TrimLeft(const std::string& s);
// s without characters <= 32 at its end.
std::string TrimRight(const std::string& s);
// s with ASCII a-z raised to A-Z; other bytes unchanged.
std::string UpperCase(const std::string& s);
// s with ASCII A-Z lowered to a-z; other bytes unchanged.
std::string LowerCase(const std::string& s);
// Whether a and b are equal ignoring ASCII case.
bool SameText(const std::string& a, const std::string& b);

// Parses [spaces][+|-](decimal digits | $hex | 0xhex)[spaces] into *out;
// false (and *out untouched) for an empty text, trailing garbage or a value
// outside the signed 64-bit range.
bool TextToInt64(const std::string& s, int64_t* out);
// TextToInt64 of s, or def when s is not a valid number.
int64_t StrToInt64Def(const std::string& s, int64_t def);
// Decimal text of v.
std::string IntToStr(int64_t v);
// printf-style formatting into a string; the empty text on a format error.
std::string Format(const char* fmt, ...) STUB_PRINTF_LIKE(1, 2);

// ---- Text operations ----------------------------------------------------

// Replaces occurrences of oldPart (matched with case), numbered from 1:
// all when first and last are both 0, else numbers first..last (last <= 0:
// only number first). Replaced text is not searched again. An empty text or
// oldPart returns text unchanged; trim trims the result.
std::string ReplaceText(const std::string& text, const std::string& oldPart,
                        const std::string& newPart, int last = 0, int first = 0,
                        bool trim = false);
// ReplaceText matching oldPart ignoring ASCII case.
std::string ReplaceTextCI(const std::string& text, const std::string& oldPart,
                          const std::string& newPart, int last = 0, int first = 0,
                          bool trim = false);
// Replaces the first occurrence of oldPart again and again until none is left,
// provided text contains oldPart and newPart does not (else text unchanged);
// trim trims the result. Stops after 2^20 rounds so a rule that makes the
// text grow cannot run away.
std::string ReplaceAll(const std::string& text, const std::string& oldPart,
                       const std::string& newPart, bool trim = false);
// text with every byte from replaced by to.
std::string ReplaceChar(const std::string& text, char from, char to);
// text keeping only bytes in allowed (empty: every byte) and not in removed.
std::string KeepChars(const std::string& text, const std::string& allowed,
                      const std::string& removed = "");

// 1-based position of sub in text ignoring ASCII case; 0 when absent or sub is empty.
size_t PosCI(const std::string& sub, const std::string& text);
// 1-based position of the first sub at or after 1-based start (values below 1
// mean 1); 0 when absent or sub is empty.
size_t FindFrom(const std::string& sub, const std::string& text, size_t start,
                bool ignoreCase = false);
// 1-based position of the last occurrence of sub (with case); 0 when absent or sub is empty.
size_t LastPos(const std::string& sub, const std::string& text);
// 1-based position of reversed sub in reversed text, ignoring ASCII case
// (1: text ends with sub); 0 when absent or sub is empty.
size_t RevPosCI(const std::string& sub, const std::string& text);

// Whether a and b are equal after trimming, ignoring ASCII case.
bool SameTextTrim(const std::string& a, const std::string& b);
// Whether text begins with part (an empty part always matches).
bool StartsWith(const std::string& part, const std::string& text, bool ignoreCase = true);
// Whether text ends with part (an empty part always matches).
bool EndsWith(const std::string& part, const std::string& text, bool ignoreCase = true);
// Text before the first separator (with case), or def when the separator is
// absent or empty; trim trims whichever is returned.
std::string TextBefore(const std::string& text, const std::string& separator,
                       const std::string& def = "", bool trim = false);
// Text after the first separator (with case), or def when the separator is
// absent or empty; trim trims whichever is returned.
std::string TextAfter(const std::string& text, const std::string& separator,
                      const std::string& def = "", bool trim = false);

// A text that is exactly ch becomes empty; a longer text that begins and ends
// with ch (or any longer text when always is set) loses its leading, then its
// trailing runs of ch (only one at each end when single is set).
std::string StripChar(const std::string& text, char ch, bool always = false,
                      bool single = false);
// StripChar of the trimmed text with '"' (always: strip even when not enclosed).
std::string Unquote(const std::string& text, bool always = false);
// Unquote(text, true) enclosed in exactly one pair of double quotes.
std::string Quote(const std::string& text);
// ch + text + ch; strip first removes ch from both ends of text.
std::string Enclose(const std::string& text, char ch, bool strip = false);
// The bytes of text in reverse order.
std::string ReverseText(const std::string& text);
// Message markup to plain text: the two-backslash escapes "\\n" and "\\t"
// (with case) and the tags <P> and <T> (ignoring case) become CR LF and tab.
std::string MarkupToText(const std::string& text);

// "TRUE" or "FALSE".
const char* BoolText(bool flag);
// "1" or "0".
const char* BoolChar(bool flag);
// a when flag is set, else b.
std::string IfThenStr(bool flag, const std::string& a, const std::string& b = "");
// a when flag is set, else b.
int64_t IfThenInt(bool flag, int64_t a, int64_t b = 0);

// ---- Number texts -------------------------------------------------------

// text with '0' in front up to width bytes; a longer text is unchanged.
std::string ZeroPad(const std::string& text, int width);
// ZeroPad of the decimal text of number (a sign is padded like any byte).
std::string ZeroPadInt(int64_t number, int width);
// text with ch in front up to width bytes; a longer text is unchanged.
std::string PadLeft(const std::string& text, int width, char ch = ' ');
// text with ',' between groups of three digits left of the first '.' (or of the end).
std::string ThousandsText(const std::string& text);
// value / divisor as text: decimals < 1 give the quotient rounded up, 2..4
// that many decimals, anything else 1 decimal; '.' is the decimal point;
// grouping applies ThousandsText. A divisor below 1 is taken as 1.
std::string SizeText(int64_t value, int64_t divisor, int decimals, bool grouping = false);
// SizeText with divisor 1,024.
std::string SizeTextKB(int64_t bytes, int decimals, bool grouping = false);
// SizeText with divisor 1,048,576.
std::string SizeTextMB(int64_t bytes, int decimals, bool grouping = false);
// Fixed-point text of value with decimals digits after '.' (clamped to 0..20);
// strip removes leading/trailing '0' (and then, unless the text starts with
// '.', leading/trailing '.') from a text holding '.'; a lone "." becomes "0".
std::string FloatText(double value, int decimals, bool strip = false);
// Number read with '.' as decimal point after ',' handling (with no '.' in the
// text every ',' is the decimal point, otherwise ',' is dropped); def when the
// text is not a plain decimal number (surrounding spaces and an exponent are allowed).
double TextToFloat(const std::string& text, double def);
// Trimmed, upper-cased text read right to left in the alphabet 0-9A-F with
// the given base; def for a byte outside the alphabet; 0 for an empty text.
// Digits at or above base are accepted as they are; overflow wraps.
int64_t ParseBase(const std::string& text, int base, int64_t def);
// ParseBase with base 16 of the trimmed text without a leading "0x" (any case).
int64_t HexToInt(const std::string& text, int64_t def);
// A value from low to high inclusive (bounds swapped when reversed), from a
// generator reseeded from the clock and a call counter on every call.
int64_t RandomRange(int64_t low, int64_t high);
// Decimal text of RandomRange(low, high).
std::string RandomRangeText(int64_t low, int64_t high);

// ---- Dates and times ----------------------------------------------------

// Date-time of the given local date and time; 0 when a part is out of range
// (year 1..9999, a real day of the month, 0..23, 0..59, 0..59).
double EncodeDateTime(int year, int month, int day, int hour, int minute, int second);
// Splits a date-time (rounded to the millisecond, then cut to the second);
// a value outside years 1..9999 or not finite decodes as 30 Dec 1899 00:00:00.
void DecodeDateTime(double dateTime, int& year, int& month, int& day, int& hour,
                    int& minute, int& second);
// The current local date-time, to the second.
double NowDateTime();
// "dd-MON-yyyy", e.g. 09-DEC-2026.
std::string DateText(double dateTime = -1);
// DateText, separator, then "HH:NN:SS".
std::string DateTimeText(const std::string& separator, double dateTime = -1);
// "dd/mm/yy HH:NN:SS" with the given date and time separators.
std::string StampText(double dateTime = -1, char dateSep = '/', char timeSep = ':');

#endif  // STUB_UTIL_TEXT_H
