#include "util/text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <set>
#include <string>

namespace {

// ---- Trimming, case and integer conversions ------------------------------

TEST(TextTrim, RemovesControlCharactersAndSpacesButKeepsHighBytes) {
  struct Case { std::string in, both, left, right; };
  const Case cases[] = {
      {"", "", "", ""},
      {" \t\r\n", "", "", ""},
      {std::string("\x01 a b \x1F", 7), "a b", std::string("a b \x1F", 5), std::string("\x01 a b", 5)},
      // 0xA0 (no-break space in the ANSI code page) is above 32 and stays.
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},
      {std::string("\0x\0", 3), "x", std::string("x\0", 2), std::string("\0x", 2)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.both, Trim(c.in));
    EXPECT_EQ(c.left, TrimLeft(c.in));
    EXPECT_EQ(c.right, TrimRight(c.in));
  }
}

TEST(TextCase, ChangesOnlyAsciiLetters) {
  EXPECT_EQ("ABC-XYZ_09\xE4\xC4", UpperCase("abc-XYZ_09\xE4\xC4"));
  EXPECT_EQ("abc-xyz_09\xE4\xC4", LowerCase("ABC-xyz_09\xE4\xC4"));
  EXPECT_TRUE(SameText("Notepad.EXE", "notepad.exe"));
  EXPECT_TRUE(SameText("", ""));
  EXPECT_FALSE(SameText("abc", "abcd"));
  EXPECT_FALSE(SameText("\xE4", "\xC4"));  // not ASCII letters: no case folding
  EXPECT_FALSE(SameText("[", "{"));        // 0x5B and 0x7B differ by 32 but are not letters
}

TEST(TextToInt64Test, AcceptsDecimalAndHexFormsAndRejectsTheRest) {
  struct Case { const char* in; bool ok; int64_t value; };
  const Case cases[] = {
      {"0", true, 0},
      {"  42 ", true, 42},
      {"+7", true, 7},
      {"-15", true, -15},
      {"$1F", true, 31},
      {"0x1f", true, 31},
      {"0XFF", true, 255},
      {"-$10", true, -16},
      {"9223372036854775807", true, INT64_MAX},
      {"-9223372036854775808", true, INT64_MIN},
      {"$7FFFFFFFFFFFFFFF", true, INT64_MAX},
      {"007", true, 7},
      {"9223372036854775808", false, 0},
      {"-9223372036854775809", false, 0},
      {"$8000000000000000", false, 0},
      {"99999999999999999999999", false, 0},
      {"", false, 0},
      {"   ", false, 0},
      {"-", false, 0},
      {"$", false, 0},
      {"0x", false, 0},
      {"12a", false, 0},
      {"1 2", false, 0},
      {"1.5", false, 0},
      {"$G", false, 0},
      {"--1", false, 0},
  };
  for (const Case& c : cases) {
    int64_t v = 12345;
    EXPECT_EQ(c.ok, TextToInt64(c.in, &v)) << c.in;
    EXPECT_EQ(c.ok ? c.value : 12345, v) << c.in;
    EXPECT_EQ(c.ok ? c.value : -99, StrToInt64Def(c.in, -99)) << c.in;
  }
}

TEST(TextIntToStr, WritesEveryRangeIncludingTheExtremes) {
  const struct { int64_t v; const char* text; } cases[] = {
      {0, "0"}, {-1, "-1"}, {1234567890, "1234567890"},
      {INT64_MAX, "9223372036854775807"}, {INT64_MIN, "-9223372036854775808"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.text, IntToStr(c.v));
}

TEST(TextFormat, FormatsShortAndLongOutput) {
  EXPECT_EQ("7 -3 x ab 0001F", Format("%d %lld %c %s %05X", 7, -3LL, 'x', "ab", 31u));
  const std::string longText(1000, 'q');
  EXPECT_EQ("<" + longText + ">", Format("<%s>", longText.c_str()));
  EXPECT_EQ("", Format(nullptr));
}

// ---- Replacing and finding ----------------------------------------------

TEST(TextReplace, ReplacesTheSelectedOccurrences) {
  struct Case { const char* text; const char* from; const char* to; int last, first; bool trim, ci; const char* out; };
  const Case cases[] = {
      {"aaa", "a", "b", 0, 0, false, false, "bbb"},
      {"a-a-a-a", "a", "X", 3, 2, false, false, "a-X-X-a"},
      {"a-a-a-a", "a", "X", 0, 2, false, false, "a-X-a-a"},   // last 0: only occurrence 2
      {"a-a-a-a", "a", "X", -1, 4, false, false, "a-a-a-X"},  // last < 0: only occurrence 4
      {"a-a-a-a", "a", "X", 9, 3, false, false, "a-a-X-X"},
      {"a-a", "a", "X", 0, 5, false, false, "a-a"},
      {"aa", "a", "aa", 0, 0, false, false, "aaaa"},          // replacements are not searched again
      {"aaaa", "aa", "b", 0, 0, false, false, "bb"},
      {"AbA", "a", "x", 0, 0, false, false, "AbA"},           // with case
      {"AbA", "a", "x", 0, 0, false, true, "xbx"},
      {"Path<DIR>\\<dir>", "<Dir>", "C:", 2, 2, false, true, "Path<DIR>\\C:"},
      {"  xa ", "a", "", 0, 0, true, false, "x"},
      {"abc", "", "x", 0, 0, false, false, "abc"},
      {"", "a", "x", 0, 0, false, false, ""},
  };
  for (const Case& c : cases) {
    const std::string r = c.ci ? ReplaceTextCI(c.text, c.from, c.to, c.last, c.first, c.trim)
                               : ReplaceText(c.text, c.from, c.to, c.last, c.first, c.trim);
    EXPECT_EQ(c.out, r) << c.text << " / " << c.from;
  }
}

TEST(TextReplaceAll, RepeatsUntilNoOccurrenceIsLeft) {
  struct Case { const char* text; const char* from; const char* to; bool trim; const char* out; };
  const Case cases[] = {
      {"key  =1", " =", "=", false, "key=1"},
      {"a   = b =c", " =", "=", false, "a= b=c"},
      {"aaab", "ab", "b", false, "b"},   // each replacement makes a new occurrence
      {"xax", "x", "xy", false, "xax"},  // the new text holds the old one: unchanged
      {"abc", "z", "y", false, "abc"},
      {" abc ", "", "y", true, "abc"},
      {" a-b ", "-", "", true, "ab"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ReplaceAll(c.text, c.from, c.to, c.trim)) << c.text;
}

TEST(TextChars, ReplaceCharAndKeepChars) {
  EXPECT_EQ("a/b/c", ReplaceChar("a\\b\\c", '\\', '/'));
  EXPECT_EQ("123", KeepChars("1a2-3", "0123456789"));
  EXPECT_EQ("13", KeepChars("1a2-3", "0123456789", "2"));
  EXPECT_EQ("1a3", KeepChars("1a2-3", "", "2-"));  // empty allowed set: every character
  EXPECT_EQ("", KeepChars("abc", "xyz"));
}

TEST(TextFind, PositionsAreOneBasedAndZeroWhenAbsent) {
  EXPECT_EQ(3u, PosCI("C", "abcabc"));
  EXPECT_EQ(1u, PosCI("ABC", "abc"));
  EXPECT_EQ(0u, PosCI("abcd", "abc"));
  EXPECT_EQ(0u, PosCI("", "abc"));

  EXPECT_EQ(4u, FindFrom("a", "abcabc", 2));
  EXPECT_EQ(4u, FindFrom("a", "abcabc", 4));
  EXPECT_EQ(0u, FindFrom("a", "abcabc", 5));
  EXPECT_EQ(1u, FindFrom("a", "abcabc", 0));
  EXPECT_EQ(0u, FindFrom("A", "abcabc", 1, false));
  EXPECT_EQ(4u, FindFrom("A", "abcabc", 2, true));
  EXPECT_EQ(0u, FindFrom("a", "abc", 99));

  EXPECT_EQ(4u, LastPos("ab", "abcabc"));
  EXPECT_EQ(0u, LastPos("AB", "abcabc"));
  EXPECT_EQ(0u, LastPos("", "abc"));

  EXPECT_EQ(1u, RevPosCI(".EXE", "setup.exe"));   // ends with it
  EXPECT_EQ(7u, RevPosCI("set", "setup.exe"));
  EXPECT_EQ(0u, RevPosCI("tes", "setup.exe"));    // reversed sub is searched, not sub
}

TEST(TextCompare, TrimmedAndAffixComparisons) {
  EXPECT_TRUE(SameTextTrim("  Notepad.exe\t", "NOTEPAD.EXE"));
  EXPECT_FALSE(SameTextTrim("note pad", "notepad"));

  struct Case { const char* part; const char* text; bool ci; bool starts, ends; };
  const Case cases[] = {
      {"http://", "HTTP://x/y.http://", true, true, true},
      {"http://", "HTTP://x", false, false, false},
      {"x", "x", false, true, true},
      {"", "abc", false, true, true},
      {"abcd", "abc", true, false, false},
      {".Exe", "a.exe", true, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.starts, StartsWith(c.part, c.text, c.ci)) << c.part << " " << c.text;
    EXPECT_EQ(c.ends, EndsWith(c.part, c.text, c.ci)) << c.part << " " << c.text;
  }
}

TEST(TextSplit, TextBeforeAndAfterTheFirstSeparator) {
  struct Case { const char* text; const char* sep; const char* def; bool trim; const char* before; const char* after; };
  const Case cases[] = {
      {"a=b=c", "=", "?", false, "a", "b=c"},
      {" a : b ", ":", "?", true, "a", "b"},
      {"abc", "=", "?", false, "?", "?"},
      {"abc", "", "?", false, "?", "?"},
      {"=x", "=", "?", false, "", "x"},
      {"ab--cd--ef", "--", "", false, "ab", "cd--ef"},
      {"abc", "=", " d ", true, "d", "d"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.before, TextBefore(c.text, c.sep, c.def, c.trim)) << c.text;
    EXPECT_EQ(c.after, TextAfter(c.text, c.sep, c.def, c.trim)) << c.text;
  }
}

// ---- Quoting ------------------------------------------------------------

TEST(TextStripChar, StripsEnclosingRunsOrSingleCharacters) {
  struct Case { const char* in; bool always, single; const char* out; };
  const Case cases[] = {
      {"\"", false, false, ""},
      {"\"abc\"", false, false, "abc"},
      {"\"\"abc\"\"", false, false, "abc"},
      {"\"\"abc\"\"", false, true, "\"abc\""},
      {"\"abc", false, false, "\"abc"},      // not enclosed and not always: unchanged
      {"\"abc", true, false, "abc"},
      {"abc\"\"", true, true, "abc\""},
      {"\"\"", false, false, ""},
      {"\"\"", false, true, ""},
      {"a\"b", true, false, "a\"b"},         // inner quotes stay
      {"", true, false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, StripChar(c.in, '"', c.always, c.single)) << c.in;
}

TEST(TextQuote, UnquoteQuoteAndEnclose) {
  EXPECT_EQ("C:\\Program Files\\App\\app.exe", Unquote("  \"C:\\Program Files\\App\\app.exe\"  "));
  EXPECT_EQ("C:\\a\"", Unquote("C:\\a\""));          // closed on one side only
  EXPECT_EQ("C:\\a", Unquote("C:\\a\"", true));
  EXPECT_EQ("\"C:\\a b\"", Quote("C:\\a b"));
  EXPECT_EQ("\"C:\\a b\"", Quote(" \"C:\\a b\" "));  // never doubled
  EXPECT_EQ("\"\"", Quote(""));
  EXPECT_EQ("%a%", Enclose("a", '%'));
  EXPECT_EQ("%%a%%", Enclose("%a%", '%'));
  EXPECT_EQ("%a%", Enclose("%%a", '%', true));
}

TEST(TextMarkup, EscapesAndTagsBecomeControlCharacters) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"a\\\\nb", "a\r\nb"},
      {"a\\\\tb", "a\tb"},
      {"a\\\\Nb", "a\\\\Nb"},       // escapes keep their case
      {"a\\nb", "a\\nb"},           // one backslash is not an escape
      {"x<P>y<p>z", "x\r\ny\r\nz"},
      {"k<T>v<t>w", "k\tv\tw"},
      {"<B>bold</B>", "<B>bold</B>"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, MarkupToText(c.in)) << c.in;
  EXPECT_EQ("cba", ReverseText("abc"));
}

// ---- Numbers ------------------------------------------------------------

TEST(TextPadding, PadsOnlyShorterTexts) {
  EXPECT_EQ("007", ZeroPad("7", 3));
  EXPECT_EQ("12345", ZeroPad("12345", 3));
  EXPECT_EQ("7", ZeroPad("7", -2));
  EXPECT_EQ("0042", ZeroPadInt(42, 4));
  EXPECT_EQ("0-5", ZeroPadInt(-5, 3));
  EXPECT_EQ("   ab", PadLeft("ab", 5));
  EXPECT_EQ("**ab", PadLeft("ab", 4, '*'));
}

TEST(TextThousands, GroupsTheWholePart) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {
      {"1234567", "1,234,567"}, {"1234.5", "1,234.5"}, {"123", "123"}, {"1000", "1,000"},
      {"-1234", "-1,234"}, {"-123", "-123"}, {"1234567.891", "1,234,567.891"},
      {"0.12345", "0.12345"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ThousandsText(c.in)) << c.in;
}

TEST(TextSize, QuotientRoundedUpOrWithDecimals) {
  struct Case { int64_t value, divisor; int decimals; bool grouping; const char* out; };
  const Case cases[] = {
      {1025, 1024, 0, false, "2"},
      {1024, 1024, 0, false, "1"},
      {0, 1024, 0, false, "0"},
      {1, 1024, -3, false, "1"},
      {1025, 1024, 2, false, "1.00"},
      {1536, 1024, 3, false, "1.500"},
      {1536, 1024, 4, false, "1.5000"},
      {1536, 1024, 1, false, "1.5"},
      {1536, 1024, 7, false, "1.5"},      // any other positive count: one decimal
      {1264128, 1024, 1, true, "1,234.5"},
      {52428800, 1048576, 1, false, "50.0"},
      {5, 0, 0, false, "5"},             // a divisor below 1 counts as 1
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.out, SizeText(c.value, c.divisor, c.decimals, c.grouping)) << c.value << "/" << c.divisor;
  EXPECT_EQ("2", SizeTextKB(1025, 0));
  EXPECT_EQ("1.00", SizeTextKB(1025, 2));
  EXPECT_EQ("2,048.0", SizeTextMB(2147483648LL, 1, true));
}

TEST(TextFloat, FixedPointWithOptionalStripping) {
  struct Case { double v; int decimals; bool strip; const char* out; };
  const Case cases[] = {
      {2.5, 3, true, "2.5"},
      {2.0, 3, true, "2"},
      {0.5, 3, true, ".5"},
      {0.0, 2, true, "0"},
      {10.0, 1, true, "10"},
      {100.0, 0, true, "100"},   // no '.': zeros are digits, not padding
      {-0.25, 4, true, "-0.25"},
      {2.5, 3, false, "2.500"},
      {1.0 / 3, 2, false, "0.33"},
      {2.0, -1, false, "2"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, FloatText(c.v, c.decimals, c.strip)) << c.v;
}

TEST(TextToFloatTest, CommaIsADecimalPointOnlyWithoutADot) {
  struct Case { const char* in; double out; };
  const Case cases[] = {
      {"1,5", 1.5}, {"1,234.5", 1234.5}, {"1,234", 1.234}, {" -2.25 ", -2.25},
      {"1e3", 1000.0}, {".5", 0.5}, {"7.", 7.0},
      {"", -1.0}, {"abc", -1.0}, {"1,2,3", -1.0}, {"0x10", -1.0}, {"inf", -1.0},
      {"nan", -1.0}, {"1e999", -1.0}, {"1.5x", -1.0}, {".", -1.0}, {"1e", -1.0},
      {"0.001", 0.001}, {"123456789.125", 123456789.125}, {"2.5E-3", 0.0025}, {"1e+2", 100.0},
      {"12345678901234567890123", 1.2345678901234568e22}, {"0.000000000000000000000000012", 1.2e-26},
      {"1e-999", 0.0}, {"-0", 0.0},
  };
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(c.out, TextToFloat(c.in, -1.0)) << c.in;
}

TEST(TextParseBase, ReadsDigitsRightToLeft) {
  struct Case { const char* in; int base; int64_t out; };
  const Case cases[] = {
      {"ff", 16, 255}, {" 7f ", 16, 127}, {"1010", 2, 10}, {"777", 8, 511},
      {"19", 8, 17},      // 9 is not an octal digit but counts as 9
      {"", 10, 0}, {"   ", 10, 0},
      {"1G", 16, -99}, {"-1", 10, -99}, {"1 0", 10, -99},
      {"FFFFFFFFFFFFFFFF", 16, -1},  // wraps to all bits set
      {"7FFFFFFFFFFFFFFF", 16, INT64_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ParseBase(c.in, c.base, -99)) << c.in;
}

TEST(TextHexToInt, DropsALeadingHexPrefix) {
  struct Case { const char* in; int64_t out; };
  const Case cases[] = {
      {"0x1F", 31}, {"0X1f", 31}, {"1f", 31}, {" 0xff ", 255}, {"0x", 0}, {"", 0},
      {"$1F", -7}, {"0x0x1", -7}, {"x1", -7},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, HexToInt(c.in, -7)) << c.in;
}

TEST(TextRandom, StaysWithinTheBoundsAndCoversThem) {
  const struct { int64_t low, high; } ranges[] = {{1, 3}, {-2, 2}, {33, 122}, {5, 5}, {3, 1}};
  for (const auto& r : ranges) {
    const int64_t lo = r.low < r.high ? r.low : r.high;
    const int64_t hi = r.low < r.high ? r.high : r.low;
    std::set<int64_t> seen;
    for (int i = 0; i < 2000; ++i) {
      const int64_t v = RandomRange(r.low, r.high);
      ASSERT_GE(v, lo);
      ASSERT_LE(v, hi);
      seen.insert(v);
    }
    EXPECT_EQ(static_cast<size_t>(hi - lo + 1), seen.size()) << lo << ".." << hi;
  }
  // The whole 64-bit range has no room for an off-by-one overflow.
  std::set<int64_t> wide;
  for (int i = 0; i < 8; ++i) wide.insert(RandomRange(INT64_MIN, INT64_MAX));
  EXPECT_GT(wide.size(), 1u);
  int64_t v = 0;
  ASSERT_TRUE(TextToInt64(RandomRangeText(10, 12), &v));
  EXPECT_TRUE(v >= 10 && v <= 12);
}

// ---- Dates and times ----------------------------------------------------

TEST(TextDate, EncodesOnTheDaysSince1899Scale) {
  struct Case { int y, mo, d, h, mi, s; double value; };
  const Case cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0},
      {1899, 12, 31, 12, 0, 0, 1.5},
      {1900, 1, 1, 0, 0, 0, 2.0},
      {1900, 3, 1, 0, 0, 0, 61.0},      // 1900 was not a leap year
      {2000, 1, 1, 6, 0, 0, 36526.25},
      {2024, 2, 29, 0, 0, 0, 45351.0},
      {1899, 12, 29, 0, 0, 0, -1.0},
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(c.value, EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s)) << c.y << "-" << c.mo << "-" << c.d;

  const struct { int y, mo, d, h, mi, s; } invalid[] = {
      {2023, 2, 29, 0, 0, 0}, {2024, 13, 1, 0, 0, 0}, {2024, 4, 31, 0, 0, 0}, {0, 1, 1, 0, 0, 0},
      {2024, 1, 1, 24, 0, 0}, {2024, 1, 1, 0, 60, 0}, {2024, 1, 1, 0, 0, 60}, {2024, 0, 1, 0, 0, 0},
  };
  for (const auto& c : invalid) EXPECT_EQ(0.0, EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s));
}

TEST(TextDate, DecodesWhatItEncodes) {
  const struct { int y, mo, d, h, mi, s; } cases[] = {
      {1, 1, 1, 0, 0, 0}, {1899, 12, 30, 0, 0, 0}, {1600, 2, 29, 23, 59, 59},
      {2024, 2, 29, 14, 7, 9}, {2026, 12, 31, 23, 59, 59}, {9999, 12, 31, 23, 59, 59},
  };
  for (const auto& c : cases) {
    int y, mo, d, h, mi, s;
    DecodeDateTime(EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s), y, mo, d, h, mi, s);
    EXPECT_EQ(c.y, y);
    EXPECT_EQ(c.mo, mo);
    EXPECT_EQ(c.d, d);
    EXPECT_EQ(c.h, h);
    EXPECT_EQ(c.mi, mi);
    EXPECT_EQ(c.s, s);
  }
}

TEST(TextDate, TextsOfAGivenDateTime) {
  // Built from parts, as a time read back from "Seconds" would be: 14:07:09
  // does not come out as an exact binary fraction.
  const double dt = EncodeDateTime(2026, 3, 1, 0, 0, 0) + (14 * 3600 + 7 * 60 + 9) / 86400.0;
  EXPECT_EQ("01-MAR-2026", DateText(dt));
  EXPECT_EQ("01-MAR-2026 14:07:09", DateTimeText(" ", dt));
  EXPECT_EQ("01-MAR-2026, 14:07:09", DateTimeText(", ", dt));
  EXPECT_EQ("01/03/26 14:07:09", StampText(dt));
  EXPECT_EQ("01.03.26 14.07.09", StampText(dt, '.', '.'));
  EXPECT_EQ("09-DEC-2026", DateText(EncodeDateTime(2026, 12, 9, 0, 0, 0)));
  // A hair below midnight is midnight, not 23:59:59 of the day before.
  EXPECT_EQ("02-MAR-2026 00:00:00", DateTimeText(" ", EncodeDateTime(2026, 3, 2, 0, 0, 0) - 1e-9));
  EXPECT_EQ("30-DEC-1899 00:00:00", DateTimeText(" ", 1e300));  // out of range
}

TEST(TextDate, MinusOneMeansNow) {
  const std::time_t before = std::time(nullptr);
  const double now = NowDateTime();
  const std::string text = DateTimeText(" ", -1);
  const std::time_t after = std::time(nullptr);
  auto encode = [](std::time_t t) {
    const std::tm* lt = std::localtime(&t);
    return EncodeDateTime(lt->tm_year + 1900, lt->tm_mon + 1, lt->tm_mday, lt->tm_hour, lt->tm_min,
                          lt->tm_sec);
  };
  const double lo = encode(before), hi = encode(after);
  EXPECT_GE(now, lo);
  EXPECT_LE(now, hi);
  EXPECT_TRUE(text == DateTimeText(" ", lo) || text == DateTimeText(" ", hi)) << text;
}

}  // namespace

TEST(TextExtractFileName, TakesThePartAfterTheLastSeparator) {
  struct Case { const char* in; const char* out; };
  const Case cases[] = {{"C:\\a\\setup.exe", "setup.exe"}, {"a/b/c.txt", "c.txt"}, {"D:x.exe", "x.exe"},
                        {"plain", "plain"}, {"C:\\dir\\", ""}, {"", ""}};
  for (const Case& c : cases) EXPECT_EQ(c.out, ExtractFileName(c.in)) << c.in;
}
