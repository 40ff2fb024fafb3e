// An edit of one IPTC key, as the held list records it for the APP13 editor.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pixmeta {

struct IptcKeyEdit {
  uint8_t record = 2;
  uint8_t number = 0;
  std::vector<std::string> values;  // the key's new data sets in order; none: the key is removed
};

}  // namespace pixmeta
