// The listings of the EXIF object and the container: name=value lines and the XML-like
// blocks of the report. Element names are tag names as they are; values are not escaped.
#include <charconv>
#include <optional>

#include "exif/image_info.h"
#include "exif/jpeg_container.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {

void TImageInfo::NameValueList(StringList& out) const {
  if (!owner_.HasExif() || owner_.ErrorText() != kNoError) return;
  for (const TTagEntry& entry : tags) {
    if (!entry.text.empty()) out.AddJoined({entry.name(), "=", entry.text});
  }
}

void TImageInfo::ExifXml(StringList& out) const {
  out.Add("   <EXIFdata>");
  for (const TTagEntry& entry : tags) AppendXmlElement(out, entry);
  out.Add("   </EXIFdata>");
}

bool TimgData::MetadataXml(StringList& out) const {
  const std::optional<platform::FileInfo> info = platform::StatFile(fileName_);
  if (!info) return false;
  char size[24];
  const auto sizeEnd = std::to_chars(size, size + sizeof size, info->size).ptr;
  out.Add("<dImageFile>");
  out.Add("   <OSdata>");
  out.AddJoined({"      <name> ", FileNamePart(fileName_), " </name>"});
  out.AddJoined({"      <path> ", FolderPart(fileName_), " </path>"});
  out.AddJoined({"      <size> ", std::string_view(size, static_cast<size_t>(sizeEnd - size)),
                 " </size>"});
  out.AddJoined({"      <date> ",
                 platform::TimeText(platform::UnixToLocalDays(info->modifiedUnix)), " </date>"});
  out.Add("   </OSdata>");
  if (exif_) exif_->ExifXml(out);
  if (iptc_) iptc_->XmlLines(out);
  out.Add("</dImageFile>");
  return true;
}

}  // namespace pixmeta
