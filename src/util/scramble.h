// Reversible scrambling of a text, as applied to inform files. It hides a
// text from casual reading only: the key travels with the text.
//
// A scrambled text is the marker "Scrambled=01", one key character (code 33
// to 122) and the scrambled bytes. The byte at position i (from 1) is XORed
// with (i + k_i) mod 256, where k_i is the key for odd i and its negation for
// even i; the operation is its own inverse.
#ifndef STUB_UTIL_SCRAMBLE_H
#define STUB_UTIL_SCRAMBLE_H

#include <string>

// Scrambles text with a random key, or unscrambles it (scramble false).
// Unchanged: an empty text, a text to scramble that already carries the
// marker, a text to unscramble that does not. The marker alone (with or
// without a key character) unscrambles to "".
std::string ScrambleText(const std::string& text, bool scramble);

// Scrambles text with the given key (33..122); unchanged for an empty text,
// a text that already carries the marker, or a key outside 33..122.
std::string ScrambleTextWithKey(const std::string& text, int key);

#endif  // STUB_UTIL_SCRAMBLE_H
