// Registry path rules and the text of registry values.
#include "util/registry.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

TEST(RegistryPath, RootNames) {
  struct Case {
    const char* name;
    RegRoot root;
  };
  const Case cases[] = {
      {"HKEY_CLASSES_ROOT", RegRoot::ClassesRoot}, {"HKCR", RegRoot::ClassesRoot},
      {"HKEY_CURRENT_USER", RegRoot::CurrentUser}, {"HKCU", RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINE", RegRoot::LocalMachine}, {"hklm", RegRoot::LocalMachine},
      {"HKEY_USERS", RegRoot::Users}, {"Hku", RegRoot::Users},
      {"HKEY_CURRENT_CONFIG", RegRoot::CurrentConfig}, {"HKCC", RegRoot::CurrentConfig},
      {"hkey_dyn_data", RegRoot::DynData}, {"HKDD", RegRoot::DynData},
      // Anything else is the current user.
      {"HKXX", RegRoot::CurrentUser}, {"", RegRoot::CurrentUser}, {" HKLM", RegRoot::CurrentUser},
      {"HKEY_LOCAL_MACHINEX", RegRoot::CurrentUser},
  };
  for (const Case& c : cases) EXPECT_EQ(RegRootFromName(c.name), c.root) << c.name;
  EXPECT_STREQ(RegRootName(RegRoot::LocalMachine), "HKEY_LOCAL_MACHINE");
}

TEST(RegistryPath, Split) {
  struct Case {
    const char* path;
    RegRoot root;
    const char* subkey;
  };
  const Case cases[] = {
      {"hklm\\Software\\X", RegRoot::LocalMachine, "Software\\X"},
      {"HKEY_USERS", RegRoot::Users, ""},
      {"Software\\X", RegRoot::CurrentUser, "Software\\X"},
      {"HKXX\\A", RegRoot::CurrentUser, "A"},
      {"  HKCR\\.txt  ", RegRoot::ClassesRoot, ".txt"},
      {"HKLM\\", RegRoot::LocalMachine, ""},
      {"hk", RegRoot::CurrentUser, ""},
      {"", RegRoot::CurrentUser, ""},
      // Only the first "\" splits.
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion", RegRoot::LocalMachine,
       "SOFTWARE\\Microsoft\\Windows\\CurrentVersion"},
  };
  for (const Case& c : cases) {
    const RegPath p = SplitRegPath(c.path);
    EXPECT_EQ(p.root, c.root) << c.path;
    EXPECT_EQ(p.subkey, c.subkey) << c.path;
  }
}

TEST(RegistryValue, Text) {
  struct Case {
    uint32_t type;
    std::string bytes;
    std::string text;
  };
  const Case cases[] = {
      {kRegDword, "\xFF\xFF\xFF\xFF"s, "4294967295"},
      {kRegDword, "\x01\x02\x00\x00"s, "513"},  // little-endian
      {kRegDword, "\x00\x00\x00\x80"s, "2147483648"},
      {kRegDword, "AB\0"s, "AB"},  // not 4 bytes: read as text
      {kRegMultiSz, "a\0b\0\0"s, "a<0>b"},
      {kRegMultiSz, "one\0\0two\0\0"s, "one<0><0>two"},  // an empty string inside stays
      {kRegMultiSz, "a\0"s, "a"},                        // two bytes: read as text
      {kRegMultiSz, "ab"s, "ab"},
      {kRegSz, "hello\0"s, "hello"},
      {kRegSz, "no terminator"s, "no terminator"},
      {kRegSz, "first\0second\0"s, "first"},
      {kRegExpandSz, "%TEMP%\\x\0"s, "%TEMP%\\x"},
      {kRegBinary, "ab\0cd"s, "ab"},
      {kRegSz, ""s, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(RegValueText(c.type, c.bytes), c.text) << c.type << " " << c.text;
}

}  // namespace
