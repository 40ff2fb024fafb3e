// The listings of the EXIF object and the container: name=value lines and the XML-like
// blocks of the report. Element names are tag names as they are; values are not escaped.
#include <optional>

#include "exif/image_info.h"
#include "exif/jpeg_container.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "util/path_parts.h"

namespace pixmeta {

StringList TImageInfo::NameValueList() const {
  StringList list;
  if (!owner_.HasExif() || owner_.ErrorText() != kNoError) return list;
  for (const TTagEntry& entry : tags) {
    if (!entry.text.empty()) list.Add(entry.name + "=" + entry.text);
  }
  return list;
}

StringList TImageInfo::ExifXml() const {
  StringList list;
  list.Add("   <EXIFdata>");
  for (const TTagEntry& entry : tags) AppendXmlElement(list, entry);
  list.Add("   </EXIFdata>");
  return list;
}

std::optional<StringList> TimgData::MetadataXml() const {
  const std::optional<platform::FileInfo> info = platform::StatFile(fileName_);
  if (!info) return std::nullopt;
  StringList list;
  list.Add("<dImageFile>");
  list.Add("   <OSdata>");
  list.Add("      <name> " + std::string(FileNamePart(fileName_)) + " </name>");
  list.Add("      <path> " + std::string(FolderPart(fileName_)) + " </path>");
  list.Add("      <size> " + std::to_string(info->size) + " </size>");
  list.Add("      <date> " + platform::TimeText(platform::UnixToLocalDays(info->modifiedUnix)) +
           " </date>");
  list.Add("   </OSdata>");
  if (exif_) list.AddAll(exif_->ExifXml());
  if (iptc_) list.AddAll(iptc_->XmlLines());
  list.Add("</dImageFile>");
  return list;
}

}  // namespace pixmeta
