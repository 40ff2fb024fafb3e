// Loads test JPEGs and TIFF files into a container.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "exif/jpeg_container.h"
#include "fixtures/jpeg_builder.h"
#include "fixtures/temp_dir.h"
#include "fixtures/tiff_builder.h"

namespace pixmeta::test {

class LoadedFile {
 public:
  // Writes bytes under the name and loads the file.
  LoadedFile(std::string_view name, std::string_view bytes,
             MakerNoteReader makerNotes = nullptr)
      : path_(dir_.Write(name, bytes)), container_(kListBoth, makerNotes) {
    loaded_ = container_.LoadFile(path_);
  }
  // A JPEG whose APP1 holds the TIFF block.
  static std::unique_ptr<LoadedFile> Jpeg(const TiffBuilder& tiff,
                                          MakerNoteReader makerNotes = nullptr) {
    return std::make_unique<LoadedFile>("a.jpg", JpegBuilder().App0().Exif(tiff.Build()).Build(),
                                        makerNotes);
  }

  bool loaded() const { return loaded_; }
  const std::string& path() const { return path_; }
  TimgData& container() { return container_; }
  TImageInfo& exif() { return *container_.Exif(); }
  std::string Value(std::string_view name) const { return container_.Exif()->LookupValue(name); }

 private:
  TempDir dir_;
  std::string path_;
  TimgData container_;
  bool loaded_ = false;
};

// The listings as lists of their own.
inline StringList NameValues(const TImageInfo& exif) {
  StringList list;
  exif.NameValueList(list);
  return list;
}
inline StringList ExifXmlOf(const TImageInfo& exif) {
  StringList list;
  exif.ExifXml(list);
  return list;
}
inline std::optional<StringList> MetadataXmlOf(const TimgData& container) {
  StringList list;
  if (!container.MetadataXml(list)) return std::nullopt;
  return list;
}

}  // namespace pixmeta::test
