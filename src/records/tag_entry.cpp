#include "records/tag_entry.h"

namespace pixmeta {

int32_t ElementSize(int32_t dataType) {
  switch (dataType) {
    case kTypeByte:
    case kTypeAscii:
    case kTypeSByte:
    case kTypeUndefined:
      return 1;
    case kTypeShort:
    case kTypeSShort:
      return 2;
    case kTypeLong:
    case kTypeSLong:
    case kTypeFloat:
      return 4;
    case kTypeRational:
    case kTypeSRational:
    case kTypeDouble:
      return 8;
    default:
      return 0;
  }
}

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
