// Language table, section choice and text lookup.
#include <gtest/gtest.h>

#include "package/lang.h"
#include "package_fixture.h"

namespace {

using fixture::Section;

std::string Block(const std::vector<std::string>& sections) {
  std::string b = "\x02";
  for (const auto& s : sections) b += s + "\x02";
  return b;
}

TEST(LanguageTable, FirstRowHoldingTheDigitsWins) {
  struct Case {
    int number;
    const char* name;
  } cases[] = {{9, "ENGLISH"},   {7, "GERMAN"},  {26, "CROATIAN"}, {43, "DUTCH(STANDARD)"},
               {4, "CHINESE"},   {1, "ARABIC"},  {54, "AFRIKAANS"}, {12, "FRENCH"},
               {13, "HEBREW"},   {99, ""},       {1024, ""}};
  for (const Case& c : cases) EXPECT_EQ(lang::LanguageNameFor(c.number), c.name) << c.number;
}

TEST(LanguageSection, ChoiceRules) {
  const std::string en = Section("English", {"s0=E"});
  const std::string fr = Section(" French ", {"s0=F"});
  const std::string de = Section("German", {"s0=G"});
  const std::string ja = Section("Klingon", {"s0=K"});
  struct Case {
    std::string block;
    const char* user;
    std::string want;
  } cases[] = {
      {Block({en, fr}), "FRENCH", fr},     // name match ignores case and spaces
      {Block({en, fr}), "GERMAN", en},     // falls back to English
      {Block({fr, de}), "JAPANESE", "*"},  // neither: every text its default
      {Block({ja}), "GERMAN", ja},         // a single section is always taken
      {Block({}), "ENGLISH", "*"},
      {"", "ENGLISH", "*"},
  };
  for (const Case& c : cases) EXPECT_EQ(lang::ChooseSection(c.block, c.user), c.want) << c.user;
}

TEST(LanguageText, LookupAndDefaults) {
  lang::ResetChosenSection();
  lang::SetUserLanguageNumber(7);  // German user, only English in the package
  std::string block = Block({Section("English", {"s1=One", "s10=Ten", "fontsize=10", "Empty=", "Error =Oops"})});
  EXPECT_EQ(lang::Text(block, "s1", "d"), "One");
  EXPECT_EQ(lang::Text(block, "s10", "d"), "Ten");
  EXPECT_EQ(lang::Text(block, "s11", "d"), "d");
  EXPECT_EQ(lang::Text(block, "FontSize", "8"), "10");
  EXPECT_EQ(lang::Text(block, "empty", "d"), "");
  EXPECT_EQ(lang::Text(block, "Error", "d"), "Oops");
  // The choice is made once per process, whatever block comes later.
  EXPECT_EQ(lang::Text(Block({Section("German", {"s1=Eins"})}), "s1", "d"), "One");
  lang::ResetChosenSection();
  EXPECT_EQ(lang::Text("", "s1", "default"), "default");
  lang::ResetChosenSection();
  lang::SetUserLanguageNumber(9);
}

}  // namespace
