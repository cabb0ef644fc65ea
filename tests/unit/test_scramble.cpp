#include "util/scramble.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

using namespace std::string_literals;

namespace {

const std::string kMarker = "Scrambled=01";

// Every byte value, twice, and long enough for positions past 256.
std::string AllBytes() {
  std::string s;
  for (int round = 0; round < 2; ++round)
    for (int b = 0; b < 256; ++b) s += static_cast<char>(b);
  return s + "<P>Inform text<P>";
}

TEST(Scramble, KnownBytes) {
  // Position 1: 'A' ^ (1 + 33); position 2: 'B' ^ ((2 - 33) mod 256).
  EXPECT_EQ(kMarker + "!" + "c\xA3", ScrambleTextWithKey("AB", 33));
  EXPECT_EQ("AB", ScrambleText(kMarker + "!" + "c\xA3", false));
  // Positions past 256 wrap: 256 + (-33) -> 223 and 257 + 33 -> 34 (mod 256).
  const std::string zeros(257, '\0');
  const std::string s = ScrambleTextWithKey(zeros, 33);
  ASSERT_EQ(kMarker.size() + 1 + zeros.size(), s.size());
  EXPECT_EQ(223, static_cast<unsigned char>(s[kMarker.size() + 256]));
  EXPECT_EQ(34, static_cast<unsigned char>(s[kMarker.size() + 257]));
  EXPECT_EQ(static_cast<unsigned char>(1 + 122), static_cast<unsigned char>(ScrambleTextWithKey("\0"s, 122).back()));
}

TEST(Scramble, RoundTripsForEveryKey) {
  const std::string text = AllBytes();
  for (int key = 33; key <= 122; ++key) {
    const std::string s = ScrambleTextWithKey(text, key);
    ASSERT_EQ(kMarker + static_cast<char>(key), s.substr(0, kMarker.size() + 1)) << key;
    ASSERT_NE(text, s.substr(kMarker.size() + 1)) << key;
    ASSERT_EQ(text, ScrambleText(s, false)) << key;
  }
}

TEST(Scramble, RandomKeysDifferButUnscrambleAlike) {
  const std::string text = "Version 2.0 is out.";
  std::set<std::string> results;
  for (int i = 0; i < 20; ++i) {
    const std::string s = ScrambleText(text, true);
    const int key = static_cast<unsigned char>(s[kMarker.size()]);
    EXPECT_TRUE(key >= 33 && key <= 122) << key;
    EXPECT_EQ(text, ScrambleText(s, false));
    results.insert(s);
  }
  EXPECT_GT(results.size(), 1u);
}

TEST(Scramble, TextsThatPassUnchanged) {
  struct Case { std::string text; bool scramble; std::string out; };
  const Case cases[] = {
      {"", true, ""},
      {"", false, ""},
      {kMarker + "!abc", true, kMarker + "!abc"},   // already scrambled
      {"plain inform", false, "plain inform"},      // not scrambled
      {"scrambled=01!c", false, "scrambled=01!c"},  // the marker is matched with case
      {kMarker, false, ""},                         // the marker alone
      {kMarker + "!", false, ""},                   // marker and key, no bytes
  };
  for (const Case& c : cases) EXPECT_EQ(c.out, ScrambleText(c.text, c.scramble)) << c.text;
  for (int key : {0, 32, 123, 255}) EXPECT_EQ("abc", ScrambleTextWithKey("abc", key)) << key;
}

}  // namespace
