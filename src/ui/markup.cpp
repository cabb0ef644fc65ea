#include "ui/markup.h"

#include <algorithm>

#include "util/sub.h"
#include "util/text.h"

namespace box {

const char* const kDefaultButtonTexts = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";
const char* const kCaptionTable = "|Error|Attention|Confirm|";

namespace {

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

// 0-based position of the first sub at or after from, ignoring ASCII case;
// npos when absent.
size_t FindCI(const std::string& text, const std::string& sub, size_t from = 0) {
  if (from > text.size()) return std::string::npos;
  const size_t p = FindFrom(sub, text, from + 1, true);
  return p == 0 ? std::string::npos : p - 1;
}

// Removes len bytes at pos and moves the runs recorded so far with the text,
// so every run keeps naming the same characters.
void Erase(PlainText& t, size_t pos, size_t len) {
  t.text.erase(pos, len);
  const int p = int(pos), n = int(len);
  for (BoldRun& r : t.bold) {
    int end = r.start + r.length;
    if (r.start > p) r.start = std::max(p, r.start - n);
    if (end > p) end = std::max(p, end - n);
    r.length = end - r.start;
  }
}

}  // namespace

PlainText ConvertMarkup(const std::string& markup) {
  PlainText t;
  t.text = MarkupToText(markup);
  if (t.text.compare(0, 4, "<<b>") == 0) t.text.erase(0, 1);

  static const std::string kOpen = "<B>", kClose = "</B>";
  for (size_t open = FindCI(t.text, kOpen); open != std::string::npos; open = FindCI(t.text, kOpen)) {
    Erase(t, open, kOpen.size());
    const size_t close = FindCI(t.text, kClose);
    if (close == std::string::npos || close < open) continue;
    Erase(t, close, kClose.size());
    if (close > open) t.bold.push_back({int(open), int(close - open)});
  }
  for (size_t close = FindCI(t.text, kClose); close != std::string::npos; close = FindCI(t.text, kClose, close))
    Erase(t, close, kClose.size());
  // A run emptied by a later removal names nothing.
  t.bold.erase(std::remove_if(t.bold.begin(), t.bold.end(), [](const BoldRun& r) { return r.length <= 0; }),
               t.bold.end());
  return t;
}

std::vector<Button> ButtonsFor(unsigned style, const std::string& buttonList) {
  struct Slot {
    int field, result;
  };
  static const std::vector<Slot> kSets[] = {
      {{0, kIdOk}},
      {{0, kIdOk}, {1, kIdCancel}},
      {{4, kIdAbort}, {5, kIdRetry}, {6, kIdIgnore}},
      {{2, kIdYes}, {3, kIdNo}, {1, kIdCancel}},
      {{2, kIdYes}, {3, kIdNo}},
      {{5, kIdRetry}, {1, kIdCancel}},
  };
  const unsigned set = style & kButtonSetMask;
  std::vector<Button> buttons;
  if (set >= sizeof kSets / sizeof kSets[0]) return buttons;
  for (const Slot& s : kSets[set]) buttons.push_back({SUB::Item(buttonList, s.field), s.result});
  return buttons;
}

int DefaultButtonIndex(unsigned style) { return int((style & kDefaultButtonMask) >> 8); }

int FocusIndex(int index, int count) {
  if (count < 1) count = 1;
  const int m = index % count;
  return m < 0 ? m + count : m;
}

int CharButton(char typed, const std::vector<Button>& buttons) {
  const char up = Upper(typed);
  for (size_t i = 0; i < buttons.size() && i < 3; ++i) {
    const std::string& c = buttons[i].caption;
    if (c.size() >= 2 && (c[1] == typed || c[1] == up)) return int(i);
  }
  return -1;
}

int LetterButton(char letter, const std::vector<Button>& buttons) {
  const char up = Upper(letter);
  if (up < 'A' || up > 'Z') return -1;
  int chosen = -1;
  for (size_t i = 0; i < buttons.size() && i < 3; ++i) {
    const std::string& c = buttons[i].caption;
    const size_t amp = c.find('&');
    const size_t at = amp == std::string::npos ? 0 : amp + 1;
    if (at < c.size() && Upper(c[at]) == up) chosen = int(i);
  }
  return chosen;
}

KeyAction KeyDownAction(int keyCode, int focused, const std::vector<Button>& buttons) {
  const int count = int(std::min<size_t>(buttons.size(), 3));
  switch (keyCode) {
    case kKeyLeft:
    case kKeyUp:
      if (count == 0) return {KeyAction::kNone, -1};
      return {KeyAction::kFocus, FocusIndex(focused < 0 ? -1 : focused - 1, count)};
    case kKeyTab:
    case kKeyRight:
    case kKeyDown:
      if (count == 0) return {KeyAction::kNone, -1};
      return {KeyAction::kFocus, FocusIndex(focused < 0 ? 0 : focused + 1, count)};
    case kKeyReturn:
      if (focused >= 0 && focused < count) return {KeyAction::kChoose, focused};
      return {KeyAction::kNone, -1};
    case kKeyEscape:
      return {KeyAction::kClose, -1};
    default:
      break;
  }
  // Only the letter keys themselves: codes such as the numeric pad's
  // (0x60-0x69) or F1-F11 (0x70-0x7A) would upper-case to letters too, and
  // pressing F1 must not answer a question.
  if (keyCode >= 'A' && keyCode <= 'Z') {
    const int b = LetterButton(char(keyCode), buttons);
    if (b >= 0) return {KeyAction::kChoose, b};
  }
  return {KeyAction::kNone, -1};
}

std::string CaptionOrDefault(const std::string& caption, int tableIndex) {
  return caption.empty() ? SUB::Item(kCaptionTable, tableIndex) : caption;
}

std::string ButtonTextsOrDefault(const std::string& buttonTexts) {
  return buttonTexts.empty() ? std::string(kDefaultButtonTexts) : buttonTexts;
}

unsigned StyleForCharset(unsigned style, int charset) {
  return charset == 177 || charset == 178 ? style | kRight | kRtlReading : style;
}

std::string HeadingText(const std::string& text, const std::string& caption) {
  const std::string heading = SUB::Contains(kCaptionTable, caption, false, true) ? UpperCase(caption) : caption;
  return "<<b>" + heading + "</b><P><P>" + text + "<P>";
}

BoxRequest PrepareRequest(intptr_t modeOrOwner, const std::string& text, const std::string& caption,
                          unsigned style, int charset) {
  BoxRequest r;
  r.text = modeOrOwner == 0 ? HeadingText(text, caption) : text;
  r.flags = StyleForCharset(style, charset) | kTaskModal | kSetForeground | kTopmost;
  if (modeOrOwner == 2) r.flags |= kNoClose;
  r.ownerIsMode = modeOrOwner > 2;
  return r;
}

int IconResourceId(unsigned style) {
  switch (style & kIconMask) {
    case kIconHand: return 32513;
    case kIconQuestion: return 32514;
    case kIconExclamation: return 32515;
    case kIconAsterisk: return 32516;
    default: return 0;
  }
}

int FontHeight(int points, int dpi) {
  const int64_t n = int64_t(points) * dpi;
  const int64_t rounded = n >= 0 ? (n + 36) / 72 : -((-n + 36) / 72);
  return int(-rounded);
}

int LineHeight(int fontHeight, int externalLeading, const std::string& faceName) {
  return fontHeight + externalLeading + (SameTextTrim(faceName, "MS PGothic") ? 1 : 0);
}

Size MeasureText(const std::string& plain, int lineHeight,
                 const std::function<int(const std::string&)>& lineWidth) {
  const std::string text = plain.empty() ? std::string(" ") : plain;
  Size s{0, 0};
  size_t from = 0;
  for (;;) {
    const size_t end = text.find("\r\n", from);
    const std::string line = text.substr(from, end == std::string::npos ? std::string::npos : end - from);
    const bool last = end == std::string::npos;
    if (!(last && line.empty())) {
      const int w = std::max(0, lineWidth(line));
      s.width = std::max(s.width, w + 10);
      s.height += (w / kMaxTextWidth + 1) * lineHeight;
    }
    if (last) break;
    from = end + 2;
  }
  s.width = std::min(s.width, kMaxTextWidth);
  return s;
}

int FitBoldWidth(int width, int height, const std::function<Size(int)>& tryWidth) {
  int widest = width;
  for (int i = 0; i <= 20; ++i) {
    const Size wanted = tryWidth(width + 10 * i);
    if (wanted.height <= height) return width + 10 * i;
    widest = std::max(widest, wanted.width);
  }
  return widest + 10;
}

Rect BoxRect(Size text, const SystemMetrics& m, const Rect& work) {
  const int margin = text.width < 200 ? 64 : 32;
  Rect r;
  r.width = std::max(360, text.width + 2 * m.frameX + 2 * margin + kBandWidth);
  r.height = text.height + 2 * m.frameY + m.captionY + kFooterHeight + (text.height < 39 ? 90 : 64);
  // A box larger than the work area keeps its title bar on the screen.
  r.left = std::max(work.left, work.left + work.width / 2 - r.width / 2);
  r.top = std::max(work.top, work.top + work.height / 2 - r.height / 2);
  return r;
}

Rect TextRect(Size text, Size client) {
  Rect r;
  r.left = (client.width - kBandWidth - text.width) / 2 + kBandWidth;
  r.top = (client.height - kFooterHeight - text.height) / 2;
  r.width = text.width;
  r.height = std::max(0, client.height - r.top - 39);
  return r;
}

Rect ButtonRect(int index, int count, Size client) {
  return {client.width - 80 - kButtonWidth * (count - 1 - index), client.height - 29, kButtonWidth, kButtonHeight};
}

}  // namespace box
