// Language texts of a package: the language table that maps the user's
// language to a section name, the one-time choice of a section, and the
// lookup of a text by key with the caller's English default.
#pragma once

#include <string>

namespace lang {

// The user's primary language number (low 10 bits of the locale id). The
// Windows side sets it at start-up; until then it is 9 (English).
void SetUserLanguageNumber(int number);
int UserLanguageNumber();

// The language table's name for a primary language number: the first row
// whose text holds the number written with at least two digits; empty when
// no row does ("26" gives CROATIAN, "43" gives DUTCH(STANDARD)).
std::string LanguageNameFor(int primaryLanguageNumber);

// Picks a section from a language block (a 0x02 list of 0x01 lists): the one
// named like the user's language, else the only one, else the same with
// "English"; "*" when none applies.
std::string ChooseSection(const std::string& languageBlock, const std::string& userLanguageName);

// The process-wide chosen section: chosen on the first call from the block
// given then, and kept for the rest of the process.
const std::string& ChosenSection(const std::string& languageBlock);
void ResetChosenSection();  // for tests

// The value of key in the chosen section, or def when the key is missing
// or no section applies; a present but empty value gives the empty text.
std::string Text(const std::string& languageBlock, const std::string& key, const std::string& def);

// English defaults of the keys in use.
extern const char* const kDefaultButtons;  // "|&OK|&Cancel|&Yes|&No|&Abort|&Retry|&Ignore|"

}  // namespace lang
