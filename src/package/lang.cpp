#include "package/lang.h"

#include "util/sub.h"
#include "util/text.h"

namespace lang {

const char* const kDefaultButtons = "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|";

namespace {

// The names line up on their "=" as they always have; the spaces do not
// matter to the lookup.
const char kLanguageTable[] =
    "|AFRIKAANS    = 54|ALBANIAN     = 28|ARABIC       = 01|BASQUE       = 45"
    "|BELARUSIAN   = 35|BULGARIAN    = 02|CATALAN      = 03|CHINESE      = 04"
    "|CROATIAN     = 26|CZECH        = 05|DANISH       = 06|DUTCH        = 19"
    "|ENGLISH      = 09|ESTONIAN     = 37|FAEROESE     = 56|FARSI        = 41"
    "|FINNISH      = 11|FRENCH       = 12|GERMAN       = 07|GREEK        = 08"
    "|HEBREW       = 13|HUNGARIAN    = 14|ICELANDIC    = 15|INDONESIAN   = 33"
    "|ITALIAN      = 16|JAPANESE     = 17|KOREAN       = 18|LATVIAN      = 38"
    "|LITHUANIAN   = 39|NORWEGIAN    = 20|POLISH       = 21|PORTUGUESE   = 22"
    "|ROMANIAN     = 24|RUSSIAN      = 25|SERBIAN      = 26|SLOVAK       = 27"
    "|SLOVENIAN    = 36|SPANISH      = 10|SWEDISH      = 29|THAI         = 30"
    "|TURKISH      = 31|UKRAINIAN    = 34|VIETNAMESE   = 42"
    "|CHINESE(SIMPLIFIED)   = 2052|CHINESE(TRADITIONAL)  = 1028"
    "|DUTCH(FLEMISH)        = 2067|DUTCH(STANDARD)       = 1043"
    "|PORTUGUESE(PORTUGAL)  = 2070|PORTUGUESE(BRAZIL)    = 1046"
    "|SERBIAN(LATIN)        = 2074|SERBIAN(CYRILIC)      = 3098|";

int g_userLanguage = 9;
bool g_chosen = false;
std::string g_section;

std::string FindSection(const std::string& block, const std::string& name) {
  int count = SUB::Count(block);
  for (int i = 0; i < count; ++i) {
    std::string section = SUB::Item(block, i, "");
    if (SameText(Trim(SUB::Item(section, 0, "")), name)) return section;
  }
  if (count == 1) return SUB::Item(block, 0, "*");
  return "*";
}

}  // namespace

void SetUserLanguageNumber(int number) { g_userLanguage = number; }
int UserLanguageNumber() { return g_userLanguage; }

std::string LanguageNameFor(int primaryLanguageNumber) {
  std::string digits = ZeroPadInt(primaryLanguageNumber, 2);
  int rows = SUB::Count(kLanguageTable);
  for (int i = 0; i < rows; ++i) {
    std::string row = SUB::Item(kLanguageTable, i, "");
    if (row.find(digits) != std::string::npos) return Trim(TextBefore(row, "=", row, false));
  }
  return std::string();
}

std::string ChooseSection(const std::string& languageBlock, const std::string& userLanguageName) {
  std::string s = FindSection(languageBlock, userLanguageName);
  if (s == "*") s = FindSection(languageBlock, "English");
  if (s.empty()) s = "*";
  return s;
}

const std::string& ChosenSection(const std::string& languageBlock) {
  if (!g_chosen) {
    g_section = ChooseSection(languageBlock, LanguageNameFor(g_userLanguage));
    g_chosen = true;
  }
  return g_section;
}

void ResetChosenSection() {
  g_chosen = false;
  g_section.clear();
}

std::string Text(const std::string& languageBlock, const std::string& key, const std::string& def) {
  const std::string& section = ChosenSection(languageBlock);
  if (section.size() <= 1) return def;
  return SUB::Value(section, key, "", def);
}

}  // namespace lang
