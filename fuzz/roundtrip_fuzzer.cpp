// libFuzzer target: a file loaded as the per-file loop loads it, given every edit (date shift,
// orientation reset, thumbnail removal, user comment, JPEG comment, IPTC fields), written back
// and loaded again. A file that was rewritten must load, keep its image data from the start
// of scan to the end byte for byte, and read the same twice; one that was not must be left
// as it was.
//
// The input is the file followed by the edit parameters: FuzzedDataProvider takes numbers
// from the end, so the last 17 bytes are the four shift values and a byte of edit choices.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "actions/edits.h"
#include "actions/file_state.h"
#include "actions/report.h"
#include "actions/run_context.h"
#include "exif/jpeg_codec.h"
#include "exif/jpeg_container.h"
#include "makernotes/maker_note_decoder.h"
#include "platform/console.h"
#include "platform/file_system.h"
#include "scratch_folder.h"

namespace {

using namespace pixmeta;

struct Edits {
  int32_t days = 0;
  int32_t hours = 0;
  int32_t minutes = 0;
  int32_t seconds = 0;
  uint8_t choices = 0xFF;  // one bit per edit
};

// The bytes from the start-of-scan marker to the end; none when libjpeg cannot read the
// header or the file is not there.
std::optional<std::string> ImageData(const std::string& path, std::string_view bytes) {
  platform::OpenedFile opened = platform::OpenForReading(path);
  if (!opened.file) return std::nullopt;
  JpegImage image;
  std::string error;
  if (!image.Load(*opened.file, error) || image.Segments().empty()) return std::nullopt;
  const uint64_t sos = image.Segments().back().offset;
  if (sos > bytes.size()) std::abort();
  return std::string(bytes.substr(sos));
}

// Loads the file and builds its report sections, as the loop does before any edit.
platform::OpenedFile Load(TimgData& container, RunContext& run, FileState& file,
                          const std::string& path) {
  file.path = path;
  platform::OpenedFile opened = platform::OpenForReading(path);
  container.LoadFile(path, opened);
  if (container.HasIptc()) container.Iptc()->LoadFromSegment(container.IptcSegment());
  AddReportSections(run, container, file);
  return opened;
}

// What the report of the file holds, as the loop builds it.
std::string Report(TimgData& container, const std::string& path) {
  platform::Console console(platform::Console::Target::Memory);
  RunContext run(console, 64 << 10);
  FileState file;
  Load(container, run, file, path);
  std::string text(file.report.Text());
  container.Reset();
  return text;
}

// Loads, edits and writes back the file as one run of the loop with these edits.
void EditFile(TimgData& container, const std::string& path, const Edits& edits) {
  platform::Console console(platform::Console::Target::Memory);
  RunContext run(console, 64 << 10);
  RunSettings& s = run.settings;
  s.quiet = (edits.choices & 0x80) != 0;
  if ((edits.choices & 0x01) != 0) {
    s.adjustDays = edits.days;
    s.adjustHours = edits.hours;
    s.adjustMinutes = edits.minutes;
    s.adjustSeconds = edits.seconds;
  }
  s.clearOrientation = (edits.choices & 0x02) != 0;
  s.removeThumbnail = (edits.choices & 0x04) != 0;
  FileState file;
  platform::OpenedFile opened = Load(container, run, file, path);
  if ((edits.choices & 0x08) != 0) {
    s.commentText = "Fuzzed \"user\" comment\\nsecond line";
    s.commentToExif = true;
  }
  EditExifAndComment(run, file, container);
  // The JPEG comment is the other target of the same option: a second pass sets it alone.
  if ((edits.choices & 0x10) != 0) {
    s.adjustDays = s.adjustHours = s.adjustMinutes = s.adjustSeconds = 0;
    s.clearOrientation = s.removeThumbnail = false;
    s.commentText = "+ and a JPEG comment";
    s.commentToExif = false;
    EditExifAndComment(run, file, container);
  }
  if ((edits.choices & 0x20) != 0) {
    s.iptcCaption = "A caption\\nover two lines";
    s.iptcKeywords = "harbour,\"quoted, keyword\"\\nboats";
    s.iptcCategory = "TRV";
    s.iptcObjectName = "+ (edited)";
    s.iptcCopyright = "-";
    s.iptcKey = (edits.choices & 0x40) != 0 ? "City" : "iptc:country";
    s.iptcValue = "Somewhere";
  }
  EditIptcFields(run, file, container);
  WriteBack(run, file, container, opened);
  container.Reset();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  Edits edits;
  edits.days = provider.ConsumeIntegral<int32_t>();
  edits.hours = provider.ConsumeIntegral<int32_t>();
  edits.minutes = provider.ConsumeIntegral<int32_t>();
  edits.seconds = provider.ConsumeIntegral<int32_t>();
  edits.choices = provider.ConsumeIntegral<uint8_t>();
  const std::string original = provider.ConsumeRemainingBytesAsString();

  static const fuzz::ScratchFolder folder;
  const std::string path = folder.Write("photo.jpg", original);
  const std::optional<std::string> imageBefore = ImageData(path, original);
  // One container for every step, as the loop keeps one for all files.
  TimgData container(kListBoth, &ReadMakerNote);
  EditFile(container, path, edits);
  const std::string result = folder.Read(path);
  if (result == original) return 0;  // nothing was changed, or the rewrite was refused
  // Only a header libjpeg reads is rewritten, and only as a whole.
  if (!imageBefore) std::abort();
  const std::optional<std::string> imageAfter = ImageData(path, result);
  if (!imageAfter || *imageAfter != *imageBefore) std::abort();
  if (!container.LoadFile(path)) std::abort();
  container.Reset();
  if (Report(container, path) != Report(container, path)) std::abort();
  return 0;
}
