#include "actions/file_loop.h"

#include <exception>
#include <memory>
#include <string>

#include "actions/file_state.h"
#include "actions/report.h"
#include "exif/jpeg_container.h"
#include "imgsize/img_size.h"
#include "makernotes/maker_note_decoder.h"
#include "platform/file_system.h"
#include "util/file_patterns.h"
#include "util/path_parts.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// Latitude and longitude as signed texts: the hemisphere references make them negative.
void SetCoordinates(FileState& file) {
  file.latitude = file.report.ValueOf("GPSLatitude");
  if (file.report.ValueOf("GPSLatitudeRef") == "S") file.latitude = "-" + file.latitude;
  file.longitude = file.report.ValueOf("GPSLongitude");
  if (file.report.ValueOf("GPSLongitudeRef") == "W") file.longitude = "-" + file.longitude;
}

void ProcessFile(RunContext& run, FileState& file) {
  const RunSettings& s = run.settings;
  file.report.Clear();
  file.latitude.clear();
  file.longitude.clear();

  run.infoLog.Add("file:" + file.path);
  if (s.DebugMode()) run.console.WriteLine("#file:" + file.path);

  // Only probing and reading the file may skip the rest of it; every later step reports
  // its own errors.
  try {
    const TImgSize size(file.path);
    if (size.IsValid()) {
      const TImgSize::Size wh = size.GetSize();
      file.report.Add("[Size]");
      file.report.Add("ImageWidth=" + std::to_string(wh.width));
      file.report.Add("ImageHeight=" + std::to_string(wh.height));
    }
  } catch (const std::exception&) {
    run.errorLog.Add("#ERROR " + file.path + ": imgsize exception");
    return;
  }
  std::unique_ptr<TimgData> container;
  try {
    container = std::make_unique<TimgData>(kListBoth, &ReadMakerNote);
    container->LoadFile(file.path);
  } catch (const std::exception&) {
    run.errorLog.Add("#ERROR " + file.path + ": imgdata exception");
    return;
  }
  if (container->HasIptc()) container->Iptc()->LoadFromSegment(container->IptcSegment());
  AddReportSections(run, *container, file);
  if (s.iptcList) AddIptcKeyList(run);
  container.reset();

  SetCoordinates(file);
  if (s.orientationList) AddOrientationLine(run, file);
}

}  // namespace

bool ExpandFileArguments(std::string_view fileArgs, StringList& fileList) {
  StringList shortNames;  // filled by the search, never read
  bool found = false;
  size_t start = 0;
  for (size_t piece = 0; piece < kMaxFilePatterns && start <= fileArgs.size(); ++piece) {
    size_t comma = fileArgs.find(',', start);
    if (comma == std::string_view::npos) comma = fileArgs.size();
    const std::string_view pattern = Trim(fileArgs.substr(start, comma - start));
    start = comma + 1;
    if (pattern.empty()) break;
    const bool recurse = pattern.find(platform::kSeparator) != std::string_view::npos;
    if (FindFiles83(pattern, pattern, fileList, recurse, shortNames)) found = true;
  }
  return found;
}

LoopOutcome RunFileLoop(RunContext& run) {
  StringList fileList;
  if (!ExpandFileArguments(run.settings.fileArgs, fileList)) return LoopOutcome::NoFileFound;
  FileState file;
  file.fileCount = fileList.Count();
  for (size_t i = 0; i < fileList.Count(); ++i) {
    file.index = i;
    file.path = fileList[i];
    ProcessFile(run, file);
  }
  return LoopOutcome::Done;
}

}  // namespace pixmeta
