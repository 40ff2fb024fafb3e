#include "records/tag_entry.h"

namespace pixmeta {

void AppendXmlElement(StringList& list, const TTagEntry& entry) {
  constexpr uint16_t kHeadline = 105;
  constexpr uint16_t kCaption = 120;
  list.AddJoined({"   <", entry.name(), ">"});
  if (entry.tag() == kHeadline || entry.tag() == kCaption) {
    list.AddJoined({"      <![CDATA[", entry.text, "]]>"});
  } else {
    list.AddJoined({"      ", entry.text});
  }
  list.AddJoined({"   </", entry.name(), ">"});
}

}  // namespace pixmeta
