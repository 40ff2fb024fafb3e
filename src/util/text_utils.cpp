#include "util/text_utils.h"

#include <bit>
#include <charconv>

namespace pixmeta {
bool ParseInt32(std::string_view text, int32_t& value) {
  const bool plus = !text.empty() && text.front() == '+';
  if (plus) text.remove_prefix(1);
  if (text.empty() || (plus && text.front() == '-')) return false;
  int32_t parsed = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

uint32_t IdentHash(std::string_view text) {
  uint32_t h = 0;
  for (const char c : text) h = std::rotl(h, 2) ^ static_cast<unsigned char>(c);
  return h;
}

}  // namespace pixmeta
