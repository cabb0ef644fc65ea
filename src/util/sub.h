// Field lists: one text whose first character is the separator and which also
// ends with it, the fields standing between, e.g. |a|b|c|. Language sections,
// caption sets, the month table, process tables and the switch list all travel
// in this form.
//
// Fields are counted from 0. The empty text and a one-character text are
// empty lists; a text of a single NUL byte counts as the empty text. Lists
// built here are assembled with NUL as a provisional separator and then get
// the first of | * ~ ^ ! @ # $ & 0xFF that no field contains (Normalize).
// Nothing fails: bad indexes and malformed lists give defaults or empty texts.
//
// "Highest index" arguments take -1 (or any negative value) for the whole
// array; a larger index than the array has is cut to its last element.
#ifndef STUB_UTIL_SUB_H
#define STUB_UTIL_SUB_H

#include <cstdint>
#include <string>
#include <vector>

class SUB {
 public:
  SUB() = delete;

  // Separators after the first character; 0 when the list is shorter than 2
  // or does not end with its separator. A NUL byte ends the count unless NUL
  // is the separator.
  static int Count(const std::string& list);
  // Field at index (-1: the last field); def when the field is missing or empty.
  static std::string Item(const std::string& list, int index, const std::string& def = "");
  // Item converted by TextToInt64; def when the field is missing, empty or not a number.
  static int64_t ItemInt(const std::string& list, int index, int64_t def);
  // Value of the first field "key=value" (key ignoring ASCII case, spaces
  // before '=' ignored): defMissing when no such field or the list is not
  // closed, defEmpty when the value is empty. The key may end with '='.
  static std::string Value(const std::string& list, const std::string& key,
                           const std::string& defEmpty, const std::string& defMissing);
  // Index of the first field equal to text (starting with it when prefix is
  // set), ignoring ASCII case, retried with text trimmed; def when none.
  static int IndexOf(const std::string& list, const std::string& text, int def = -1,
                     bool prefix = false);
  // Whether a field equals text (both trimmed first when trim is set); false
  // when the list or the text is empty.
  static bool Contains(const std::string& list, const std::string& text, bool trim = true,
                       bool ignoreCase = true);
  // List of the parts before the first '=' of every field ("" without '=').
  static std::string Keys(const std::string& list);
  // List of the parts after the first '=' of every field ("" without '=').
  static std::string Values(const std::string& list);
  // Keys and Values of list at once.
  static void Split(const std::string& list, std::string& keys, std::string& values);
  // List of "key=value" fields pairing field i of both lists (a missing side is
  // empty); compact first drops trailing empty fields of both lists.
  static std::string Pair(const std::string& keys, const std::string& values, bool compact);
  // list without field index; unchanged when index is not below Count.
  static std::string Delete(const std::string& list, int index);
  // list with field index set to value, adding empty fields up to it (an empty
  // list is taken as |); a value holding the separator makes a new one.
  // A negative index leaves every field as it is.
  static std::string SetItem(const std::string& list, int index, const std::string& value);
  // List of items[0..highIndex]; unique then applies Unique.
  static std::string FromArray(const std::vector<std::string>& items, int highIndex = -1,
                               bool unique = false);
  // list with items[0..highIndex] added at the end (the separator changes
  // when an item holds it); unique then applies Unique.
  static std::string Append(const std::string& list, const std::vector<std::string>& items,
                            int highIndex = -1, bool unique = false);
  // The same separator with the fields in reverse order; "" for "".
  static std::string Reverse(const std::string& list);
  // list without empty fields and without fields equal (trimmed, ignoring
  // ASCII case) to an earlier one; a list left with no field is its separator alone.
  static std::string Unique(const std::string& list);
  // list without empty fields at its end (trailing) and/or start (leading);
  // a result of one character becomes "".
  static std::string Compact(const std::string& list, bool trailing = true, bool leading = false);
  // The same fields under the first separator candidate no field contains
  // (NUL when all occur); a result of one character becomes "".
  static std::string Normalize(const std::string& list);
  // list with every occurrence of its first character replaced by sep.
  static std::string SetSeparator(const std::string& list, char sep);
};

#endif  // STUB_UTIL_SUB_H
