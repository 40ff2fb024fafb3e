#include "actions/file_loop.h"

#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "actions/converter_list.h"
#include "actions/edits.h"
#include "actions/exports.h"
#include "actions/file_dates.h"
#include "actions/file_state.h"
#include "actions/json_output.h"
#include "actions/progress.h"
#include "actions/report.h"
#include "actions/sql_reports.h"
#include "exif/jpeg_container.h"
#include "imgsize/img_size.h"
#include "makernotes/maker_note_decoder.h"
#include "platform/dir_search.h"
#include "platform/file_system.h"
#include "util/path_parts.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// Latitude and longitude as signed texts: the hemisphere references make them negative.
void SetCoordinates(FileState& file) {
  const StringList& report = file.report;
  file.latitude.clear();
  if (report.ValueOf("GPSLatitudeRef") == "S") file.latitude += '-';
  file.latitude += report.ValueOf("GPSLatitude");
  file.longitude.clear();
  if (report.ValueOf("GPSLongitudeRef") == "W") file.longitude += '-';
  file.longitude += report.ValueOf("GPSLongitude");
}

// The capture date as the file holds it after the edits: the first of the three dates that
// the report lists, read again from the EXIF segment when a date shift may have moved it.
void SetCaptureDate(const RunSettings& s, FileState& file, const TimgData& container) {
  file.captureDate.clear();
  const TImageInfo* exif = container.Exif();
  const std::pair<std::string_view, int64_t> dates[] = {
      {"DateTimeOriginal", exif != nullptr ? exif->dateTimeOriginalPos : 0},
      {"DateTimeDigitized", exif != nullptr ? exif->dateTimeDigitizedPos : 0},
      {"DateTime", exif != nullptr ? exif->dateTimePos : 0}};
  for (const auto& [name, pos] : dates) {
    const std::string_view listed = file.report.ValueOf(name);
    if (listed.empty()) continue;
    const std::string_view shifted = ClampedBytes(exif != nullptr ? exif->buffer : "", pos, 19);
    file.captureDate.assign(file.fileChanged && s.AdjustsDates() && shifted.size() == 19
                                ? shifted
                                : listed);
    return;
  }
}

// False when the run ends after this file.
bool ProcessFile(RunContext& run, FileState& file, TimgData& container,
                 std::optional<platform::OpenedFile>& found) {
  const RunSettings& s = run.settings;
  file.report.Clear();
  file.fileChanged = false;
  file.latitude.clear();
  file.longitude.clear();

  std::string& line = file.line;
  line.assign("file:");
  line += file.path;
  run.infoLog.Add(line);
  if (s.DebugMode()) run.console.WriteLine("#" + line);

  // Only probing and reading the file may skip the rest of it; every later step reports
  // its own errors.
  // One open serves the size probe and the container: both read the same header bytes. A
  // file named without wildcards was opened when it was looked up.
  platform::OpenedFile opened =
      found ? std::move(*found) : platform::OpenForReading(file.path);
  found.reset();
  // A run that edits holds the file's lock from before the first read to after its new
  // content has replaced it (the lock goes with `opened`, at the end of this function), so
  // a second run at the same time waits and then reads, and edits, that new content.
  if (s.Edits()) opened = platform::OpenForRewrite(file.path, std::move(opened));
  try {
    const TImgSize size(file.path, opened);
    if (size.IsValid()) {
      const TImgSize::Size wh = size.GetSize();
      file.report.Add("[Size]");
      file.report.Add("ImageWidth=" + std::to_string(wh.width));
      file.report.Add("ImageHeight=" + std::to_string(wh.height));
    }
  } catch (const std::exception&) {
    run.errorLog.Add("#ERROR " + file.path + ": imgsize exception");
    return true;
  }
  // One container serves every file of the loop, so its memory is kept; each load starts
  // from an empty container, and its EXIF and IPTC objects go when the file's steps with
  // it are done.
  try {
    container.LoadFile(file.path, opened);
  } catch (const std::exception&) {
    container.Reset();
    run.errorLog.Add("#ERROR " + file.path + ": imgdata exception");
    return true;
  }
  if (container.HasIptc()) container.Iptc()->LoadFromSegment(container.IptcSegment());
  AddReportSections(run, container, file);
  if (s.iptcList) AddIptcKeyList(run);
  if (s.Edits()) {
    EditExifAndComment(run, file, container);
    EditIptcFields(run, file, container);
    WriteBack(run, file, container, opened);
  }
  if (s.sqlMode == 1 || s.sqlMode == 2) PrintImageReport(run, file, container);
  if (s.dateList || s.setFileDate) SetCaptureDate(s, file, container);
  if (s.json) file.title = BuildTitleText(container);
  container.Reset();

  // Four report lookups per file: made only for the steps that read the texts.
  if (s.UsesCoordinates()) SetCoordinates(file);
  if (s.json) {
    PrintJson(run, file);
    return false;
  }
  if (s.kml) AddKmlOverlay(run, file);
  if (s.orientationList) AddOrientationLine(run, file);
  if (s.converterList) AddConverterLine(run, file);
  if (s.dateList || s.setFileDate) RunDateSteps(run, file);
  if (s.gpsList) AddGpsLine(run, file);
  if (s.navSqlUpdate) PrintSizeUpdate(run, file);
  return true;
}

}  // namespace

LoopOutcome RunFileLoop(RunContext& run) {
  FileArgumentList files(run.settings.fileArgs);
  FileState file;
  TimgData container(kListBoth, &ReadMakerNote);
  container.NoteValuePlaces(run.settings.Edits());
  std::optional<platform::OpenedFile> opened;
  std::string next;
  std::optional<platform::OpenedFile> nextOpened;
  if (!files.Next(file.path, opened)) return LoopOutcome::NoFileFound;
  // One file is looked up ahead, so a file knows whether others follow it.
  bool haveNext = files.Next(next, nextOpened);
  file.severalFiles = haveNext;
  Progress progress(run);
  for (file.index = 0;; ++file.index) {
    progress.Step(file.path);
    if (!ProcessFile(run, file, container, opened)) return LoopOutcome::JsonWritten;
    if (!haveNext) break;
    file.path.swap(next);
    opened.swap(nextOpened);
    haveNext = files.Next(next, nextOpened);
  }
  return LoopOutcome::Done;
}

bool FileArgumentList::Next(std::string& path, std::optional<platform::OpenedFile>& opened) {
  opened.reset();
  for (;;) {
    if (!named_.empty()) {
      path.assign(named_);
      named_ = {};
      opened = platform::OpenNamedFile(path);
      if (opened) return true;
    }
    if (search_ && search_->Next(path)) return true;
    if (!StartNextPiece()) return false;
  }
}

bool FileArgumentList::StartNextPiece() {
  search_.reset();
  if (ended_) return false;
  if (!inArgument_) {
    const auto next = args_.Next(nextArg_);
    if (!next) {
      ended_ = true;
      return false;
    }
    rest_ = next->first;
    nextArg_ = next->second + 1;
    inArgument_ = true;
  }
  const size_t comma = rest_.find(',');
  const std::string_view piece = Trim(rest_.substr(0, comma));
  if (comma == std::string_view::npos) {
    inArgument_ = false;
  } else {
    rest_.remove_prefix(comma + 1);
  }
  if (piece.empty()) {
    ended_ = true;
    return false;
  }
  // A name without wildcards names one file, even with a folder.
  if (piece.find_first_of("*?") == std::string_view::npos) {
    named_ = piece;
  } else {
    search_.emplace(piece, SearchesSubfolders(piece));
  }
  return true;
}

}  // namespace pixmeta
