#include "util/sub.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace std::string_literals;

namespace {

// Every separator a built list may take, in order.
const std::string kAllCandidates = "|*~^!@#$&\xFF";

TEST(SubCount, CountsOnlyClosedLists) {
  struct Case { std::string list; int count; };
  const Case cases[] = {
      {"|a|b|c|", 3}, {"||", 1}, {"|a|b", 0}, {"|", 0}, {"", 0},
      {"*x|y*", 1},          // any first character is the separator
      {"|a|\0b|"s, 1},       // a NUL ends the count
      {"\0a\0b\0"s, 2},      // ...unless NUL is the separator
      {"a|b|a", 1},          // here 'a' is the separator: one field, "|b|"
  };
  for (const Case& c : cases) EXPECT_EQ(c.count, SUB::Count(c.list)) << c.list;
}

TEST(SubItem, MissingAndEmptyFieldsGiveTheDefault) {
  struct Case { std::string list; int index; std::string out; };
  const Case cases[] = {
      {"|a||c|", 0, "a"}, {"|a||c|", 1, "?"}, {"|a||c|", 2, "c"}, {"|a||c|", -1, "c"},
      {"|a||c|", 3, "?"}, {"|a||c|", -2, "?"},
      {"|a|b", 0, "a"},     // fields closed by a separator are read...
      {"|a|b", 1, "?"},     // ...an unclosed tail is not a field
      {"|a|b", -1, "?"},    // the count of an unclosed list is 0
      {"|a|", -1, "a"}, {"", 0, "?"}, {"|", 0, "?"}, {"\0"s, -1, "?"},
      {"~x|y~z~", 0, "x|y"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Item(c.list, c.index, "?")) << c.list << " " << c.index;
}

TEST(SubItemInt, ConvertsOrFallsBack) {
  const std::string list = "|12| -7 |$1F|x||99999999999999999999|8|";
  const struct { int index; int64_t out; } cases[] = {
      {0, 12}, {1, -7}, {2, 31}, {3, 5}, {4, 5}, {5, 5}, {6, 8}, {7, 5}, {-1, 8},
  };
  for (const auto& c : cases) EXPECT_EQ(c.out, SUB::ItemInt(list, c.index, 5)) << c.index;
}

TEST(SubValue, KeyValueLookups) {
  struct Case { std::string list, key, out; };
  const Case cases[] = {
      {"|Charset=0|s1=Hello|", "s1", "Hello"},
      {"|Charset=0|s1=Hello|", "S1", "Hello"},
      {"|Charset=0|s1=Hello|", "s1=", "Hello"},
      {"|Charset=0|s1=Hello|", "Charset", "0"},
      {"|Charset=0|s1=Hello|", "s2", "<missing>"},
      {"|s1=|", "s1", "<empty>"},
      {"|a  =1|", "a", "1"},                 // every space before '=' goes
      {"|a = 1 |", "a", " 1 "},              // the value itself is not trimmed
      {"|a=1|a=2|", "a", "1"},               // first occurrence
      {"|xa=1|a=2|", "a", "2"},              // a key must start its field
      {"|a=b=c|", "a", "b=c"},
      {"|==x|", "=", "x"},                   // the key "=" is looked up as "=="
      {"|=x|", "", "x"},
      {"| s1=Hello|", "s1", "<missing>"},    // a leading space belongs to the key
      {"|s1=Hello", "s1", "<missing>"},      // not closed: no lookup
      {"|a=1|", "a", "1"},
      {"", "a", "<missing>"},
      {"\x01" "A=1\x01" "B=x y\x01", "b", "x y"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(c.out, SUB::Value(c.list, c.key, "<empty>", "<missing>")) << c.list << " " << c.key;
}

TEST(SubIndexOf, FindsFieldsIgnoringCase) {
  struct Case { std::string list, text; bool prefix; int out; };
  const Case cases[] = {
      {"|NOTEPAD.EXE|123|", "notepad.exe", false, 0},
      {"|NOTEPAD.EXE|123|", "123", false, 1},
      {"|NOTEPAD.EXE|123|", " 123 ", false, 1},   // retried trimmed
      {"|NOTEPAD.EXE|123|", "12", false, -5},
      {"|NOTEPAD.EXE|123|", "12", true, 1},
      {"|NOTEPAD.EXE|123|", "note", true, 0},
      {"|a||b|", "b", false, 2},
      {"  |a|b|  ", "B", false, 1},               // the list is trimmed
      {"\x01" "a\x01" "b\x01", "B", false, 1},    // ...but not of a control separator
      {"", "a", false, -5},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::IndexOf(c.list, c.text, -5, c.prefix)) << c.list << " " << c.text;
}

TEST(SubContains, MatchesWholeFields) {
  struct Case { std::string list, text; bool trim, ci, out; };
  const Case cases[] = {
      {"|Setup.exe|b|", "setup.exe", true, true, true},
      {"|Setup.exe|b|", "setup.exe", true, false, false},
      {"|Setup.exe|b|", " b ", true, true, true},
      {"|Setup.exe|b|", " b ", false, true, false},
      {"|Setup.exe|b|", "setup", true, true, false},
      {"|a||b|", "", false, true, false},     // an empty text is never contained
      {"", "a", true, true, false},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Contains(c.list, c.text, c.trim, c.ci)) << c.list << " " << c.text;
}

TEST(SubKeysValues, SplitAtTheFirstEqualsSign) {
  struct Case { std::string list, keys, values; };
  const Case cases[] = {
      {"|a=1|b|c=x=y|", "|a||c|", "|1||x=y|"},  // no '=': neither key nor value
      {"~a=x|y~b=2~", "|a|b|", "*x|y*2*"},   // each result gets its own separator
      {"|=v|", "||", "|v|"},
      {"", "", ""},
      {"|", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.keys, SUB::Keys(c.list)) << c.list;
    EXPECT_EQ(c.values, SUB::Values(c.list)) << c.list;
    std::string k = "old", v = "old";
    SUB::Split(c.list, k, v);
    EXPECT_EQ(c.keys, k);
    EXPECT_EQ(c.values, v);
  }
}

TEST(SubPair, JoinsKeysAndValuesFieldByField) {
  struct Case { std::string keys, values; bool compact; std::string out; };
  const Case cases[] = {
      {"|a|b|c|", "|1|2|", false, "|a=1|b=2|c=|"},
      {"|a|", "|1|2|", false, "|a=1|=2|"},
      {"|a|b||", "|1|2|||", false, "|a=1|b=2|=|=|"},
      {"|a|b||", "|1|2|||", true, "|a=1|b=2|"},
      {"|a|", "*x|y*", false, "*a=x|y*"},
      {"", "", false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Pair(c.keys, c.values, c.compact)) << c.keys << " " << c.values;
}

TEST(SubDelete, RemovesOneField) {
  struct Case { std::string list; int index; std::string out; };
  const Case cases[] = {
      {"|a|b|c|", 1, "|a|c|"}, {"|a|b|c|", 0, "|b|c|"}, {"|a|b|c|", 2, "|a|b|"},
      {"|a|b|c|", 3, "|a|b|c|"}, {"|a|b|c|", -1, "|a|b|c|"},
      {"|a|", 0, "|"}, {"|a|b", 0, "|a|b"}, {"", 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Delete(c.list, c.index)) << c.list << " " << c.index;
}

TEST(SubSetItem, ReplacesOrExtends) {
  struct Case { std::string list; int index; std::string value, out; };
  const Case cases[] = {
      {"|a|b|", 3, "x", "|a|b||x|"},
      {"|a|b|", 3, "x|y", "*a*b**x|y*"},     // the value holds the separator
      {"|a|b|", 0, "z", "|z|b|"},
      {"|a|b|", 1, "", "|a||"},
      {"~a~b~", 1, "c|d", "~a~c|d~"},         // only the list's own separator matters
      {"", 0, "x", "|x|"},
      {"\0"s, 1, "x", "||x|"},
      {"|a|b|", -1, "x", "|a|b|"},
      {"|a|b|", 0, "|*", "~|*~b~"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::SetItem(c.list, c.index, c.value)) << c.list << " " << c.index;
}

TEST(SubFromArray, ChoosesTheFirstFreeSeparator) {
  struct Case { std::vector<std::string> items; int high; bool unique; std::string out; };
  const Case cases[] = {
      {{"a", "b", "a|b"}, -1, false, "*a*b*a|b*"},
      {{"a", "b", "c"}, 1, false, "|a|b|"},
      {{"a", "b", "c"}, 9, false, "|a|b|c|"},
      {{"a", "A", "", "b", "a"}, -1, true, "|a|b|"},
      {{"", ""}, -1, false, "|||"},
      {{}, -1, false, ""},
      {{"|*~^!@#$&"}, -1, false, "\xFF|*~^!@#$&\xFF"},
      {{kAllCandidates, "x"}, -1, false, "\0"s + kAllCandidates + "\0x\0"s},  // keeps NUL
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::FromArray(c.items, c.high, c.unique));
}

TEST(SubAppend, AddsAtTheEnd) {
  struct Case { std::string list; std::vector<std::string> items; int high; bool unique; std::string out; };
  const Case cases[] = {
      {"|a|", {"b", "c"}, -1, false, "|a|b|c|"},
      {"|a|", {"b", "c"}, 0, false, "|a|b|"},
      {"|a|", {"b|c"}, -1, false, "*a*b|c*"},
      {"~a~", {"b|c"}, -1, false, "~a~b|c~"},
      {"", {"x", "x|y"}, -1, false, "*x*x|y*"},
      {"|a|b|", {"B", "c", "a"}, -1, true, "|a|b|c|"},
      {"|a|", {}, -1, false, "|a|"},
      {"\0"s, {"a"}, -1, false, "|a|"},   // a lone NUL is the empty list
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Append(c.list, c.items, c.high, c.unique)) << c.list;
}

TEST(SubReverse, ReversesTheFields) {
  struct Case { std::string list, out; };
  const Case cases[] = {
      {"|a|b|c|", "|c|b|a|"}, {"|a||", "||a|"}, {"*x|y*z*", "*z*x|y*"}, {"|", "|"}, {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Reverse(c.list)) << c.list;
}

TEST(SubUnique, DropsEmptyAndRepeatedFields) {
  struct Case { std::string list, out; };
  const Case cases[] = {
      {"|a|A|b||a|", "|a|b|"},
      {"| a|a |B|b|", "| a|B|"},     // compared trimmed, the first spelling stays
      {"~x~~X~", "~x~"},
      {"|||", "|"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Unique(c.list)) << c.list;
}

TEST(SubCompact, DropsEmptyFieldsAtTheEnds) {
  struct Case { std::string list; bool trailing, leading; std::string out; };
  const Case cases[] = {
      {"||a||b|||", true, false, "||a||b|"},
      {"||a||b|||", false, true, "|a||b|||"},
      {"||a||b|||", true, true, "|a||b|"},
      {"||a||b|||", false, false, "||a||b|||"},
      {"||||", true, true, ""},
      {"||||", true, false, ""},
      {"|", true, true, ""},
      {"|a|b", true, true, "|a|b"},   // not a closed list: left alone
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Compact(c.list, c.trailing, c.leading)) << c.list;
}

TEST(SubNormalize, PicksTheFirstCandidateNoFieldHolds) {
  struct Case { std::string list, out; };
  const Case cases[] = {
      {"*a*b*", "|a|b|"},
      {"*a|b*", "*a|b*"},          // the old separator is free again
      {"\0a\0b\0"s, "|a|b|"},
      {"\0a|*\0"s, "~a|*~"},
      {"|a\0b|"s, "*a\0b*"s},   // a list already holding NUL keeps it as a field byte
      {"\0"s + kAllCandidates + "\0"s, "\0"s + kAllCandidates + "\0"s},
      {"\0"s, ""},
      {"|", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, SUB::Normalize(c.list)) << c.list;
}

TEST(SubSetSeparator, ReplacesTheFirstCharacterEverywhere) {
  EXPECT_EQ("~a~b~", SUB::SetSeparator("|a|b|", '~'));
  EXPECT_EQ("\x01" "a\x01", SUB::SetSeparator("|a|", '\x01'));
  EXPECT_EQ("", SUB::SetSeparator("", '~'));
}

// Lists built by one operation read back with the others.
TEST(SubRoundTrip, BuiltListsReadBack) {
  const std::vector<std::string> items = {"Error", "a|b", "", "x*y", "last"};
  const std::string list = SUB::FromArray(items);
  ASSERT_EQ(static_cast<int>(items.size()), SUB::Count(list));
  for (size_t i = 0; i < items.size(); ++i)
    EXPECT_EQ(items[i].empty() ? "-" : items[i], SUB::Item(list, static_cast<int>(i), "-"));

  const std::string pairs = SUB::Pair("|k1|k2|", "|v|1|2|", false);
  std::string keys, values;
  SUB::Split(pairs, keys, values);
  EXPECT_EQ("|k1|k2||", keys);
  EXPECT_EQ("|v|1|2|", values);
  EXPECT_EQ("1", SUB::Value(pairs, "K2", "", "?"));
}

}  // namespace
