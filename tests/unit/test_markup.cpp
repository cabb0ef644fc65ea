#include "ui/markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/wait.h"

namespace {

using box::BoldRun;
using box::Button;
using box::KeyAction;

// The bold parts of a converted text, to compare readably.
std::vector<std::string> BoldParts(const box::PlainText& t) {
  std::vector<std::string> parts;
  for (const BoldRun& r : t.bold) {
    EXPECT_GE(r.start, 0);
    EXPECT_LE(size_t(r.start + r.length), t.text.size());
    parts.push_back(t.text.substr(size_t(r.start), size_t(r.length)));
  }
  return parts;
}

// ---- Mark-up ------------------------------------------------------------

TEST(BoxMarkup, ConvertsTagsEscapesAndBoldRuns) {
  struct Case {
    std::string in, text;
    std::vector<std::string> bold;
  };
  const Case cases[] = {
      {"<b>INTERNET DOWNLOAD</b><p><p>Size", "INTERNET DOWNLOAD\r\n\r\nSize", {"INTERNET DOWNLOAD"}},
      {"x <B>a</b> y <b>bc</B>", "x a y bc", {"a", "bc"}},
      // A stray close before the open spoils that pair; all strays vanish.
      {"x</B>y<B>z", "xyz", {}},
      {"x</B>y<B>z</B>", "xyz", {}},
      {"<B>a", "a", {}},
      {"<B></B>", "", {}},
      {"a</b>b</B>c", "abc", {}},
      // Escapes need two backslashes; the heading's doubled "<" loses one.
      {"a\\\\nb\\\\tc", "a\r\nb\tc", {}},
      {"a\\nb", "a\\nb", {}},
      {"a\\\\Nb", "a\\\\Nb", {}},
      {"1<T>2<t>3<P>4", "1\t2\t3\r\n4", {}},
      {"<<b>ERROR</b><P><P>text<P>", "ERROR\r\n\r\ntext\r\n", {"ERROR"}},
      {"x<<b>y</b>", "x<y", {"y"}},
      // Unknown tags stay as they are.
      {"<I>i</I> <DRIVE> <", "<I>i</I> <DRIVE> <", {}},
      // A bold run follows its letters when later tags inside it are removed.
      {"<B>a<B>b</B>c</B>d", "abcd", {"ab", "bc"}},
      {"<B>a<P>b</B>", "a\r\nb", {"a\r\nb"}},
  };
  for (const Case& c : cases) {
    const box::PlainText t = box::ConvertMarkup(c.in);
    EXPECT_EQ(c.text, t.text) << c.in;
    EXPECT_EQ(c.bold, BoldParts(t)) << c.in;
  }
}

// ---- Buttons and keys -----------------------------------------------------

TEST(BoxButtons, SetsTakeTheirCaptionsAndResults) {
  struct Case {
    unsigned style;
    std::vector<std::string> captions;
    std::vector<int> results;
  };
  const Case cases[] = {
      {0x00, {"&OK"}, {1}},
      {0x01, {"&OK", "&Cancel"}, {1, 2}},
      {0x02, {"&Abort", "&Retry", "&Ignore"}, {3, 4, 5}},
      {0x23, {"&Yes", "&No", "&Cancel"}, {6, 7, 2}},
      {0x24, {"&Yes", "&No"}, {6, 7}},
      {0x35, {"&Retry", "&Cancel"}, {4, 2}},
      {0x06, {}, {}},
      {0x0F, {}, {}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> captions;
    std::vector<int> results;
    for (const Button& b : box::ButtonsFor(c.style, box::kDefaultButtonTexts)) {
      captions.push_back(b.caption);
      results.push_back(b.result);
    }
    EXPECT_EQ(c.captions, captions) << c.style;
    EXPECT_EQ(c.results, results) << c.style;
  }
  // A short list leaves the missing captions empty; the results stay.
  const std::vector<Button> shortList = box::ButtonsFor(3, "|OK|Abbrechen|");
  ASSERT_EQ(3u, shortList.size());
  EXPECT_EQ("", shortList[0].caption);
  EXPECT_EQ(6, shortList[0].result);
  EXPECT_EQ("", shortList[1].caption);
  EXPECT_EQ("Abbrechen", shortList[2].caption);
  EXPECT_EQ(2, shortList[2].result);
}

TEST(BoxButtons, DefaultAndFocusIndexesWrap) {
  EXPECT_EQ(0, box::DefaultButtonIndex(0x24));
  EXPECT_EQ(1, box::DefaultButtonIndex(0x124));
  EXPECT_EQ(2, box::DefaultButtonIndex(0x203));
  struct Case {
    int index, count, focus;
  };
  const Case cases[] = {{0, 3, 0}, {2, 3, 2}, {3, 3, 0}, {-1, 3, 2}, {-1, 2, 1}, {2, 2, 0},
                        {-1, 1, 0}, {-5, 2, 1}, {-7, 3, 2}, {1, 0, 0}};
  for (const Case& c : cases) EXPECT_EQ(c.focus, box::FocusIndex(c.index, c.count)) << c.index << "/" << c.count;
}

TEST(BoxKeys, TypedCharactersAndLetterKeysChooseByAccessKey) {
  const std::vector<Button> yesNo = box::ButtonsFor(4, box::kDefaultButtonTexts);
  const std::vector<Button> abort = box::ButtonsFor(2, box::kDefaultButtonTexts);
  // Both captions share the access key: a typed character prefers the left
  // button, a letter key the right one.
  const std::vector<Button> clash = {{"&Save", 6}, {"&Skip", 7}};
  const std::vector<Button> bare = {{"Go", 1}, {"x&", 2}, {"", 3}};
  struct Case {
    const std::vector<Button>* buttons;
    char key;
    int byChar, byLetter;
  };
  const Case cases[] = {
      {&yesNo, 'y', 0, 0}, {&yesNo, 'Y', 0, 0}, {&yesNo, 'n', 1, 1}, {&yesNo, 'q', -1, -1},
      {&abort, 'i', 2, 2}, {&clash, 's', 0, 1},
      // Without "&" the letter key looks at the first character, a typed one
      // at the second; a trailing "&" names nothing.
      {&bare, 'g', -1, 0}, {&bare, 'o', 0, -1}, {&bare, '&', 1, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.byChar, box::CharButton(c.key, *c.buttons)) << c.key;
    EXPECT_EQ(c.byLetter, box::LetterButton(c.key, *c.buttons)) << c.key;
  }
}

TEST(BoxKeys, KeyDownMovesFocusChoosesOrCloses) {
  const std::vector<Button> three = box::ButtonsFor(3, box::kDefaultButtonTexts);
  const std::vector<Button> none;
  struct Case {
    const std::vector<Button>* buttons;
    int key, focused;
    KeyAction::Kind kind;
    int button;
  };
  const Case cases[] = {
      {&three, box::kKeyLeft, 0, KeyAction::kFocus, 2},
      {&three, box::kKeyUp, 2, KeyAction::kFocus, 1},
      {&three, box::kKeyLeft, -1, KeyAction::kFocus, 2},
      {&three, box::kKeyTab, 2, KeyAction::kFocus, 0},
      {&three, box::kKeyRight, -1, KeyAction::kFocus, 0},
      {&three, box::kKeyDown, 0, KeyAction::kFocus, 1},
      {&three, box::kKeyReturn, 1, KeyAction::kChoose, 1},
      {&three, box::kKeyReturn, -1, KeyAction::kNone, -1},
      {&three, box::kKeyEscape, 0, KeyAction::kClose, -1},
      {&none, box::kKeyEscape, -1, KeyAction::kClose, -1},
      {&none, box::kKeyTab, -1, KeyAction::kNone, -1},
      {&three, 'N', 0, KeyAction::kChoose, 1},
      {&three, 'C', 0, KeyAction::kChoose, 2},
      {&three, 'Q', 0, KeyAction::kNone, -1},
      // Numeric-pad and function keys have codes that upper-case to letters
      // (0x63 'c', 0x79 'y' is F10); they choose nothing.
      {&three, 0x63, 0, KeyAction::kNone, -1},
      {&three, 0x79, 0, KeyAction::kNone, -1},
  };
  for (const Case& c : cases) {
    const KeyAction a = box::KeyDownAction(c.key, c.focused, *c.buttons);
    EXPECT_EQ(c.kind, a.kind) << c.key << " focused " << c.focused;
    EXPECT_EQ(c.button, a.button) << c.key << " focused " << c.focused;
  }
}

// ---- Wrappers ---------------------------------------------------------------

TEST(BoxWrappers, HeadingCaptionsAndStyles) {
  EXPECT_EQ("<<b>ERROR</b><P><P>Disk full<P>", box::HeadingText("Disk full", "Error"));
  EXPECT_EQ("<<b>CONFIRM</b><P><P>x<P>", box::HeadingText("x", "confirm"));
  EXPECT_EQ("<<b>My Setup</b><P><P>x<P>", box::HeadingText("x", "My Setup"));
  EXPECT_EQ("<<b>Err</b><P><P>x<P>", box::HeadingText("x", "Err"));

  EXPECT_EQ("Error", box::CaptionOrDefault("", 0));
  EXPECT_EQ("Attention", box::CaptionOrDefault("", 1));
  EXPECT_EQ("Confirm", box::CaptionOrDefault("", 2));
  EXPECT_EQ("Mine", box::CaptionOrDefault("Mine", 2));
  EXPECT_EQ(box::kDefaultButtonTexts, box::ButtonTextsOrDefault(""));
  EXPECT_EQ("|J|N|", box::ButtonTextsOrDefault("|J|N|"));

  // The heading comes out bold as the first line of the box.
  const box::PlainText shown = box::ConvertMarkup(box::HeadingText("Disk full", box::CaptionOrDefault("", 0)));
  EXPECT_EQ("ERROR\r\n\r\nDisk full\r\n", shown.text);
  ASSERT_EQ(1u, shown.bold.size());
  EXPECT_EQ((BoldRun{0, 5}), shown.bold[0]);

  const unsigned rtl = box::kRight | box::kRtlReading;
  const unsigned always = box::kTaskModal | box::kSetForeground | box::kTopmost;
  struct Case {
    intptr_t mode;
    int charset;
    unsigned flags;
    bool heading, ownerIsMode;
  };
  const Case cases[] = {
      {0, 1, 36 | always, true, false},
      {0, 177, 36 | rtl | always, true, false},
      {1, 178, 36 | rtl | always, false, false},
      {1, 176, 36 | always, false, false},
      {2, 0, 36 | always | box::kNoClose, false, false},
      {0x1234, 1, 36 | always, false, true},
  };
  for (const Case& c : cases) {
    const box::BoxRequest r = box::PrepareRequest(c.mode, "Go on?", "Confirm", 36, c.charset);
    EXPECT_EQ(c.flags, r.flags) << c.mode;
    EXPECT_EQ(c.heading ? box::HeadingText("Go on?", "Confirm") : std::string("Go on?"), r.text) << c.mode;
    EXPECT_EQ(c.ownerIsMode, r.ownerIsMode) << c.mode;
  }
}

// ---- Icon, font and layout ----------------------------------------------------

TEST(BoxLayout, IconsFontAndLineHeights) {
  const unsigned styles[] = {0x00, 0x10, 0x20, 0x30, 0x40, 0x50, 0x24};
  const int icons[] = {0, 32513, 32514, 32515, 32516, 0, 32514};
  for (size_t i = 0; i < sizeof styles / sizeof styles[0]; ++i) EXPECT_EQ(icons[i], box::IconResourceId(styles[i]));

  EXPECT_EQ(-11, box::FontHeight(8, 96));   // 10.67 rounds up
  EXPECT_EQ(-13, box::FontHeight(10, 96));  // 13.33 rounds down
  EXPECT_EQ(-15, box::FontHeight(9, 120));  // exactly 15
  EXPECT_EQ(-3, box::FontHeight(9, 20));    // 2.5 rounds away from zero

  EXPECT_EQ(14, box::LineHeight(13, 1, "Tahoma"));
  EXPECT_EQ(15, box::LineHeight(13, 1, " ms pgothic "));
}

TEST(BoxLayout, MeasuresLinesWrapsLongOnesAndCapsWidth) {
  // Every byte is 10 pixels wide.
  const auto width = [](const std::string& s) { return int(s.size()) * 10; };
  struct Case {
    std::string text;
    box::Size size;
  };
  const Case cases[] = {
      {std::string(10, 'a'), {110, 14}},  // the 100-pixel line of the box's own example
      {"", {20, 14}},                     // measured as one space
      {"ab\r\ncdef\r\n", {50, 28}},       // the empty last line does not count
      {"\r\n\r\nx", {20, 42}},            // empty lines inside do
      {std::string(59, 'a'), {600, 14}},  // 590 + 10 reaches the cap
      {std::string(60, 'a'), {600, 28}},  // 600 pixels take a second line
      {std::string(130, 'a') + "\r\nb", {600, 56}},
      {"a\rb\nc", {60, 14}},  // only CR LF breaks a line
  };
  for (const Case& c : cases) {
    const box::Size s = box::MeasureText(c.text, 14, width);
    EXPECT_EQ(c.size.width, s.width) << c.text;
    EXPECT_EQ(c.size.height, s.height) << c.text;
  }
}

TEST(BoxLayout, BoldFitWidensUntilTheTextFits) {
  // A control that needs 137 pixels for two lines: narrower, it wants three
  // lines and reports the width it would like.
  std::vector<int> tried;
  const auto control = [&tried](int w) {
    tried.push_back(w);
    return w >= 137 ? box::Size{w, 28} : box::Size{w + 3, 42};
  };
  EXPECT_EQ(140, box::FitBoldWidth(110, 28, control));
  EXPECT_EQ((std::vector<int>{110, 120, 130, 140}), tried);

  // Never satisfied: the widest wish plus 10, after 21 tries.
  tried.clear();
  int wish = 0;
  const auto stubborn = [&](int w) {
    tried.push_back(w);
    wish = w == 150 ? 900 : w;
    return box::Size{wish, 99};
  };
  EXPECT_EQ(910, box::FitBoldWidth(100, 28, stubborn));
  EXPECT_EQ(21u, tried.size());
  EXPECT_EQ(300, tried.back());
  // Wishes below the measured width do not shrink it.
  EXPECT_EQ(110, box::FitBoldWidth(100, 28, [](int) { return box::Size{5, 99}; }));
}

TEST(BoxLayout, BoxTextAndButtonPlacement) {
  const box::SystemMetrics m{4, 4, 19};
  const box::Rect screen{0, 0, 1024, 738};
  struct Case {
    box::Size text;
    box::Rect work;
    box::Rect rect;
  };
  const Case cases[] = {
      // Narrow text gets the wide margin; 120 + 8 + 128 + 54 = 310 < 360.
      {{120, 14}, screen, {332, 286, 360, 167}},
      // 190 + 8 + 128 + 54 = 380 (still the wide margin below 200).
      {{190, 40}, screen, {322, 286, 380, 167}},
      // From 200 on the narrow margin: 200 + 8 + 64 + 54 = 326 -> 360.
      {{200, 38}, screen, {332, 274, 360, 191}},
      {{600, 300}, screen, {149, 156, 726, 427}},
      // Work area not at the origin; odd sizes halve separately.
      {{600, 300}, {100, 50, 1001, 701}, {237, 187, 726, 427}},
      // Larger than the work area: kept on it.
      {{600, 900}, screen, {149, 0, 726, 1027}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.rect, box::BoxRect(c.text, m, c.work)) << c.text.width << "x" << c.text.height;
  }

  // The first box's client area (360 x 167 less frames and caption): the
  // text is centred right of the band and reaches down to the separator.
  const box::Size client{352, 140};
  EXPECT_EQ((box::Rect{143, 45, 120, 56}), box::TextRect({120, 14}, client));
  // A client too small for the text gets no negative height.
  EXPECT_EQ((box::Rect{27, -18, 10, 0}), box::TextRect({10, 10}, {10, 10}));

  EXPECT_EQ((box::Rect{272, 111, 70, 23}), box::ButtonRect(0, 1, client));
  EXPECT_EQ((box::Rect{202, 111, 70, 23}), box::ButtonRect(0, 2, client));
  EXPECT_EQ((box::Rect{272, 111, 70, 23}), box::ButtonRect(1, 2, client));
  EXPECT_EQ((box::Rect{132, 111, 70, 23}), box::ButtonRect(0, 3, client));
  EXPECT_EQ((box::Rect{202, 111, 70, 23}), box::ButtonRect(1, 3, client));
  EXPECT_EQ((box::Rect{272, 111, 70, 23}), box::ButtonRect(2, 3, client));
}

// ---- Waiting ----------------------------------------------------------------

TEST(Wait, SliceOfTheTotal) {
  struct Case {
    int total, slice, result;
  };
  const Case cases[] = {{1000, 0, 25}, {50, 0, 5}, {250, 0, 25}, {249, 0, 24}, {5, 0, 1},
                        {0, 0, 1},     {-40, 0, 1}, {1000, 7, 7}, {10, 100, 100}, {50, -3, 5}};
  for (const Case& c : cases) EXPECT_EQ(c.result, WaitSlice(c.total, c.slice)) << c.total << "/" << c.slice;
}

TEST(Wait, YieldsAtLeastOnceUntilTheClockHasAdvanced) {
  struct Case {
    int total, slice;
    int64_t step;  // how far the fake clock moves per yield
    std::vector<int> yields;
  };
  const Case cases[] = {
      {50, 0, 5, std::vector<int>(10, 5)},
      {100, 0, 30, std::vector<int>(4, 10)},  // 30, 60, 90, then 120 >= 100
      {0, 0, 0, {1}},                         // no time to wait: still one yield
      {-5, 0, 0, {1}},
      {1000, 0, 1000, {25}},
  };
  for (const Case& c : cases) {
    int64_t clock = 1'000'000'000'000;  // far from zero, as a real counter is
    std::vector<int> yields;
    RunWait(
        c.total, c.slice, [&clock] { return clock; },
        [&](int ms) {
          yields.push_back(ms);
          clock += c.step;
        });
    EXPECT_EQ(c.yields, yields) << c.total;
  }
}

}  // namespace
