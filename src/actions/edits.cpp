#include "actions/edits.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "exif/jpeg_codec.h"
#include "exif/value_format.h"
#include "iptc/iptc_table.h"
#include "iptc/iptc_writer.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

constexpr char kDq = '"';

// "set to: "new"" for an empty current value, else ""current" -> "new"".
std::string ChangeNotice(std::string_view current, std::string_view value) {
  std::string notice;
  if (current.empty()) {
    notice = "set to: ";
  } else {
    notice += kDq;
    notice += current;
    notice += "\" -> ";
  }
  notice += kDq;
  notice += value;
  notice += kDq;
  return notice;
}

// The "-" value empties, a leading "+" appends to the current value.
std::string ResolvedValue(std::string_view value, std::string_view current) {
  if (value == "-") return {};
  if (!value.empty() && value.front() == '+') {
    std::string joined(current);
    joined += value.substr(1);
    return joined;
  }
  return std::string(value);
}

// The date shown in the date notice; a missing date shows as day 0.
std::string DateNoticeText(const TImageInfo* exif) {
  return ExifDateText(exif != nullptr ? exif->BestDate() : 0.0);
}

void AddError(RunContext& run, const FileState& file, std::string_view text) {
  std::string line = "#ERROR ";
  line += file.path;
  line += ": ";
  line += text;
  run.errorLog.Add(line);
}

void AdjustDates(RunContext& run, FileState& file, TimgData& container) {
  const RunSettings& s = run.settings;
  if (!s.AdjustsDates()) return;
  TImageInfo* exif = container.Exif();
  if (!container.HasExif() || exif == nullptr) {
    AddError(run, file, "NO EXIF! DateTime can NOT be adjusted!");
    return;
  }
  const std::string before = DateNoticeText(exif);
  switch (exif->ShiftDates(s.adjustDays, s.adjustHours, s.adjustMinutes, s.adjustSeconds)) {
    case TImageInfo::DateShift::Shifted:
      break;
    case TImageInfo::DateShift::NothingToShift:
      return;
    case TImageInfo::DateShift::SharedBytes:
      AddError(run, file, "EXIF date shares its bytes with another value, DateTime not adjusted");
      return;
  }
  file.fileChanged = true;
  if (!s.quiet) {
    run.console.WriteLine("DateTime adjusted: " + before + " -> " + DateNoticeText(exif));
  }
}

void ClearOrientation(RunContext& run, FileState& file, TimgData& container) {
  if (!run.settings.clearOrientation) return;
  TImageInfo* exif = container.Exif();
  const int32_t value = exif != nullptr ? exif->GetInt("Orientation") : 1;
  if (!container.HasExif() || exif == nullptr || value == 1) return;
  if (exif->ValueSharesBytes("Orientation")) {
    AddError(run, file, "EXIF Orientation shares its bytes with another value, not cleared");
    return;
  }
  if (!exif->SetValueByName("Orientation", 1)) return;
  file.fileChanged = true;
  if (!run.settings.quiet) {
    run.outputList.Add(file.path + ": Orientation cleared, " + std::to_string(value) + " -> 1");
  }
}

void DropThumbnail(RunContext& run, FileState& file, TimgData& container) {
  if (!run.settings.removeThumbnail || !container.HasThumbnail()) return;
  container.Exif()->RemoveThumbnail();
  if (!run.settings.quiet) run.outputList.Add(file.path + ": Thumbnail in jpg removed");
  file.fileChanged = true;
}

void EditUserComment(RunContext& run, FileState& file, TimgData& container) {
  TImageInfo* exif = container.Exif();
  if (!container.HasExif() || exif == nullptr) {
    AddError(run, file, "EXIF do not exist, Comment can not be set.");
    return;
  }
  const std::string current = EscapeControlChars(exif->userComment);
  const std::string text = ResolvedValue(run.settings.commentText, current);
  const std::string notice = ChangeNotice(current, text);
  if (current == text) return;
  // The eight-byte character-code prefix, then the text as given.
  std::string value("ASCII\0\0\0", 8);
  value += text;
  // The value is written over the old one's bytes: without room for one character after
  // the prefix nothing of the text would land.
  if (!text.empty() && exif->userCommentLen < 1) {
    AddError(run, file, "EXIF Comment error?");
    return;
  }
  if (exif->ValueSharesBytes("UserComment")) {
    AddError(run, file, "EXIF UserComment shares its bytes with another value, not set");
    return;
  }
  if (!exif->SetTextByName("UserComment", value)) {
    AddError(run, file, "EXIF Comment error?");
    return;
  }
  if (!run.settings.quiet) run.console.WriteLine(file.path + ": EXIF UserComment " + notice);
  file.fileChanged = true;
}

void EditJpegComment(RunContext& run, FileState& file, TimgData& container) {
  const std::string current =
      container.HasComment() ? EscapeControlChars(container.GetComment()) : std::string();
  const std::string text = ResolvedValue(run.settings.commentText, current);
  const std::string notice = ChangeNotice(current, text);
  if (current == text) return;
  if (!container.SetComment(UnescapeControlChars(text))) {
    AddError(run, file, "JPEG Comment too long for a segment, not set");
    return;
  }
  if (!run.settings.quiet) run.console.WriteLine(file.path + ": JPEG Comment " + notice);
  file.fileChanged = true;
}

void SetIptcField(RunContext& run, FileState& file, TimgData& container, std::string_view key,
                  std::string_view given, bool unescape) {
  if (key.empty() || given.empty()) return;
  TIPTCdata* iptc = container.HasIptc() ? container.Iptc() : nullptr;
  // The held value, so that an item holding a comma stays one item when "+" appends to it.
  const std::string current = iptc != nullptr ? EscapeControlChars(iptc->HeldValue(key)) : "";
  std::string value = ResolvedValue(given, current);
  const std::string notice = ChangeNotice(current, value);
  if (unescape) value = UnescapeControlChars(value);
  if (current == value) return;
  std::string unknown = "IPTC ";
  unknown += key;
  unknown += '?';
  // An IPTC block is added only for a key that an edit stores.
  if (iptc == nullptr) {
    if (TableRowOf(key) < 0) {
      AddError(run, file, unknown);
      return;
    }
    if (!container.CreateEmptyIptc()) {
      AddError(run, file, "IPTC segment can not be added");
      return;
    }
    iptc = container.Iptc();
  }
  // Emptying a key removes its data sets.
  const int32_t index = value.empty() && iptc->IndexOfName(key) >= 0
                            ? iptc->RemoveKey(key)
                            : iptc->StoreValue(key, value);
  if (index < 0) {
    AddError(run, file, unknown);
    return;
  }
  file.fileChanged = true;
  if (!run.settings.quiet) {
    std::string line = file.path;
    line += ": IPTC ";
    line += key;
    line += ' ';
    line += notice;
    run.console.WriteLine(line);
  }
}

}  // namespace

void EditExifAndComment(RunContext& run, FileState& file, TimgData& container) {
  AdjustDates(run, file, container);
  ClearOrientation(run, file, container);
  DropThumbnail(run, file, container);
  if (run.settings.commentText.empty()) return;
  if (run.settings.commentToExif) {
    EditUserComment(run, file, container);
  } else {
    EditJpegComment(run, file, container);
  }
}

void EditIptcFields(RunContext& run, FileState& file, TimgData& container) {
  const RunSettings& s = run.settings;
  SetIptcField(run, file, container, s.iptcKey, s.iptcValue, false);
  SetIptcField(run, file, container, "ImageCaption", s.iptcCaption, true);
  SetIptcField(run, file, container, "Category", s.iptcCategory, false);
  SetIptcField(run, file, container, "ObjectName", s.iptcObjectName, false);
  SetIptcField(run, file, container, "CopyRight", s.iptcCopyright, false);
  SetIptcField(run, file, container, "Keywords", s.iptcKeywords, true);
}

void WriteBack(RunContext& run, const FileState& file, TimgData& container,
               platform::OpenedFile& opened) {
  if (!file.fileChanged) return;
  std::string error;
  // Only a file read as a JPEG has its metadata segments in the container; writing any
  // other would drop them.
  if (!TimgData::ReadsAsJpeg(file.path)) {
    AddError(run, file, "not a JPEG image that can be rewritten (its name is not a JPEG's)");
    return;
  }
  if (!opened.file) {
    AddError(run, file, "can not be read again: " + opened.reason);
    return;
  }
  JpegImage image;
  if (!image.Load(*opened.file, error)) {
    AddError(run, file, error);
    return;
  }
  if (!container.SaveWithImage(image, file.path, true, error)) AddError(run, file, error);
}

}  // namespace pixmeta
