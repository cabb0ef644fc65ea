#include "util/scramble.h"

#include "util/text.h"

namespace {

const char kMarker[] = "Scrambled=01";
const size_t kMarkerLength = sizeof kMarker - 1;

bool HasMarker(const std::string& text) { return text.compare(0, kMarkerLength, kMarker) == 0; }

// XORs bytes[i] (position i + 1) with (position + k) mod 256, k alternating in sign.
std::string ApplyKey(std::string bytes, int key) {
  for (size_t i = 0; i < bytes.size(); ++i) {
    const size_t position = i + 1;
    const int k = (position % 2 == 1) ? key : -key;
    const unsigned mask = static_cast<unsigned>(static_cast<int>(position % 256) + k + 256) % 256;
    bytes[i] = static_cast<char>(static_cast<unsigned char>(bytes[i]) ^ mask);
  }
  return bytes;
}

}  // namespace

std::string ScrambleTextWithKey(const std::string& text, int key) {
  if (text.empty() || HasMarker(text) || key < 33 || key > 122) return text;
  return kMarker + std::string(1, static_cast<char>(key)) + ApplyKey(text, key);
}

std::string ScrambleText(const std::string& text, bool scramble) {
  if (scramble) return ScrambleTextWithKey(text, static_cast<int>(RandomRange(33, 122)));
  if (text.empty() || !HasMarker(text)) return text;
  if (text.size() <= kMarkerLength + 1) return std::string();
  const int key = static_cast<unsigned char>(text[kMarkerLength]);
  return ApplyKey(text.substr(kMarkerLength + 1), key);
}
