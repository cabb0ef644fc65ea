// The portable core of the markup message box: the mark-up of its text, its
// buttons and access keys, the text the message-box wrappers build, and the
// arithmetic that sizes and places the box. The Windows side measures text,
// reads the screen and the system metrics, and hands the numbers in here.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace box {

// Style bits of the system message box that the box reads or the wrappers
// add (named here so this header does not need the platform headers).
constexpr unsigned kButtonSetMask = 0x0000000F;
constexpr unsigned kIconMask = 0x000000F0;
constexpr unsigned kIconHand = 0x10;
constexpr unsigned kIconQuestion = 0x20;
constexpr unsigned kIconExclamation = 0x30;
constexpr unsigned kIconAsterisk = 0x40;
constexpr unsigned kDefaultButtonMask = 0x00000F00;
constexpr unsigned kTaskModal = 0x00002000;
constexpr unsigned kSetForeground = 0x00010000;
constexpr unsigned kTopmost = 0x00040000;
constexpr unsigned kRight = 0x00080000;
constexpr unsigned kRtlReading = 0x00100000;
// Private: the box's Close command (system menu, title-bar button) is greyed.
constexpr unsigned kNoClose = 0x10000000;

// Result identifiers, the same numbers as the system message box's.
constexpr int kIdOk = 1, kIdCancel = 2, kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdYes = 6, kIdNo = 7;

// Button captions in the order OK, Cancel, Yes, No, Abort, Retry, Ignore.
extern const char* const kDefaultButtonTexts;  // "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"
// Captions of the wrappers: 0 error, 1 attention, 2 confirmation.
extern const char* const kCaptionTable;  // "|Error|Attention|Confirm|"

// ---- Mark-up ------------------------------------------------------------

// A bold run of the plain text: start and length in bytes, CR LF counted as two.
struct BoldRun {
  int start;
  int length;
  bool operator==(const BoldRun& o) const { return start == o.start && length == o.length; }
};

struct PlainText {
  std::string text;
  std::vector<BoldRun> bold;  // in the order found; never empty runs
};

// Converts the box's mark-up: the two-backslash escapes \\n and \\t (with
// case), <P> and <T> (any case), a leading "<<b>" losing its first "<", and
// <B>...</B> pairs (any case) becoming bold runs. A </B> with no open <B>
// before it and a <B> with no </B> after it are removed; any other text in
// angle brackets stays. Runs are positions in the returned text.
PlainText ConvertMarkup(const std::string& markup);

// ---- Buttons ------------------------------------------------------------

struct Button {
  std::string caption;  // from the button list; empty when the list lacks the field
  int result;           // identifier answered when the button is chosen
};

// The buttons of the style's button set (low four bits), left to right, with
// their captions from a button list (see kDefaultButtonTexts). Sets above 5
// have no buttons.
std::vector<Button> ButtonsFor(unsigned style, const std::string& buttonList);

// Index (0..2) of the default button that the style names (0x000, 0x100,
// 0x200; higher values are folded by FocusIndex).
int DefaultButtonIndex(unsigned style);

// The button to focus for a wanted index among count buttons: a negative
// index counts from the right (-1 is the last); any index wraps around. A
// count below 1 is taken as 1.
int FocusIndex(int index, int count);

// The button chosen by a typed character (a character message): the typed
// character, as typed and upper-cased, is compared with the second character
// of each caption (the one after a leading "&"); button 1 wins over 2 over 3.
// -1 when none matches.
int CharButton(char typed, const std::vector<Button>& buttons);

// The button whose access key is the letter (ignoring case): the character
// after the caption's first "&", or its first character when it has no "&".
// The rightmost matching button wins. -1 when the letter is not A-Z or no
// caption has it.
int LetterButton(char letter, const std::vector<Button>& buttons);

// Key codes the box acts on (the system's virtual-key numbers).
constexpr int kKeyTab = 0x09, kKeyReturn = 0x0D, kKeyEscape = 0x1B;
constexpr int kKeyLeft = 0x25, kKeyUp = 0x26, kKeyRight = 0x27, kKeyDown = 0x28;

struct KeyAction {
  enum Kind { kNone, kFocus, kChoose, kClose } kind;
  int button;  // the button to focus or choose (already folded by FocusIndex)
};

// What a key-down message does in the box: arrows and Tab move the focus,
// Enter chooses the focused button, Escape closes the box without a result,
// and a letter key A-Z chooses the button with that access key. focused is
// the index of the focused button, -1 when none has the focus.
KeyAction KeyDownAction(int keyCode, int focused, const std::vector<Button>& buttons);

// ---- Wrappers -----------------------------------------------------------

// The caption of the wrappers' caption table (0..2) when caption is empty.
std::string CaptionOrDefault(const std::string& caption, int tableIndex);
// The default button texts when the given ones are empty.
std::string ButtonTextsOrDefault(const std::string& buttonTexts);
// The style with kRight and kRtlReading added for character sets 177
// (Hebrew) and 178 (Arabic).
unsigned StyleForCharset(unsigned style, int charset);
// The text with the caption as its bold heading: "<<b>" + caption (upper-
// cased when it is one of the caption table's) + "</b><P><P>" + text + "<P>".
std::string HeadingText(const std::string& text, const std::string& caption);

struct BoxRequest {
  std::string text;
  unsigned flags;
  bool ownerIsMode;  // the mode value is the owner window; else the active window
};

// What the wrapper hands to the box for a mode-or-owner value: mode 0 puts
// the caption into the text as a heading; mode 2 disables the Close command;
// a value above 2 is the owner window. Flags get the right-to-left bits of
// the character set and task-modal, set-foreground and topmost.
BoxRequest PrepareRequest(intptr_t modeOrOwner, const std::string& text, const std::string& caption,
                          unsigned style, int charset);

// ---- Icon and font --------------------------------------------------------

// The system icon number for the style's icon bits (32513 hand, 32514
// question, 32515 exclamation, 32516 asterisk); 0 for the program's own icon.
int IconResourceId(unsigned style);
// The font height for a size in points on a screen of dpi pixels per inch:
// -(points * dpi / 72) rounded half away from zero.
int FontHeight(int points, int dpi);
// The line height for measuring: the font's height plus its external
// leading, one more for the face "MS PGothic" (trimmed, ignoring case).
int LineHeight(int fontHeight, int externalLeading, const std::string& faceName);

// ---- Size and placement -----------------------------------------------------

constexpr int kBandWidth = 54;      // the coloured band on the left
constexpr int kFooterHeight = 36;   // the button area below the separator
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 23;
constexpr int kMaxTextWidth = 600;

struct Size {
  int width;
  int height;
};
struct Rect {
  int left, top, width, height;
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && width == o.width && height == o.height;
  }
};

// The measured size of the plain text: for each line between CR LFs (not an
// empty last line) the width is the widest line's pixel width + 10, capped at
// 600, and each line adds (pixel width div 600 + 1) line heights. An empty
// text is measured as one space. lineWidth gives a line's pixel width.
Size MeasureText(const std::string& plain, int lineHeight, const std::function<int(const std::string&)>& lineWidth);

// The text control's width for a text with bold runs, whose measured width
// is too small for bold letters: tries width + 10 * i for i = 0..20, asking
// tryWidth for the size the control then requests, and takes the first whose
// requested height is not above height; otherwise the widest requested width
// (at least width) + 10.
int FitBoldWidth(int width, int height, const std::function<Size(int)>& tryWidth);

struct SystemMetrics {
  int frameX;     // sizing frame width
  int frameY;     // sizing frame height
  int captionY;   // caption height
};

// The box's window rectangle for a text control of outer size text, centred
// in the work area (integer halves), never above or left of it.
Rect BoxRect(Size text, const SystemMetrics& metrics, const Rect& workArea);
// The text control's place in a client area of the given size.
Rect TextRect(Size text, Size client);
// The place of button index (0-based, left to right) of count buttons in a
// client area of the given size; the rightmost ends 10 pixels from the right.
Rect ButtonRect(int index, int count, Size client);

}  // namespace box
