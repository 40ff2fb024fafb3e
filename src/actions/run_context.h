// The run settings and the run-level lists. The run driver owns one RunContext for the
// whole run; the option parser fills the settings, every per-file action reads them.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/console.h"
#include "util/arguments.h"
#include "util/output_spool.h"
#include "util/string_list.h"

namespace pixmeta {

struct RunSettings {
  uint8_t logLevel = 0;
  bool quiet = false;
  bool show = false;
  bool json = false;
  bool xmlBlock = true;
  bool iptcList = false;
  bool kml = false;
  bool dateList = false;
  bool gpsList = false;
  bool orientationList = false;
  bool converterList = false;
  bool clearOrientation = false;
  bool removeThumbnail = false;
  bool setFileDate = false;
  bool fileDateFromName = false;
  bool fileTimeFromFile = false;
  std::string fileDateDir;
  std::string dateFormat = "yymmdd";
  std::string commentText;
  bool commentToExif = false;
  std::string iptcCaption;
  std::string iptcKeywords;
  std::string iptcCategory;
  std::string iptcCopyright;
  std::string iptcObjectName;
  std::string iptcKey;
  std::string iptcValue;
  int32_t adjustDays = 0;
  int32_t adjustHours = 0;
  int32_t adjustMinutes = 0;
  int32_t adjustSeconds = 0;
  std::string outFile;
  // The file arguments in order, viewed in the program's arguments; each may hold several
  // comma-separated patterns.
  FileArguments fileArgs;
  int32_t sqlMode = 0;
  bool navSqlUpdate = false;
  std::string linePrefix;

  // Run state used by the help texts.
  bool bannerShown = false;
  bool helpHint = true;

  bool DebugMode() const { return logLevel > 8; }
  // Whether a step of the per-file loop writes to the console while the loop runs (the
  // debug lines); the output list then waits for the end of the run, so that it still
  // follows them. Every step that writes to the console during the loop belongs here.
  bool LoopWritesToConsole() const {
    return DebugMode() || dateList || setFileDate || sqlMode != 0 || navSqlUpdate ||
           (!quiet && (AdjustsDates() || !commentText.empty() || SetsIptc()));
  }
  bool AdjustsDates() const {
    return adjustDays != 0 || adjustHours != 0 || adjustMinutes != 0 || adjustSeconds != 0;
  }
  bool SetsIptc() const {
    return (!iptcKey.empty() && !iptcValue.empty()) || !iptcCaption.empty() ||
           !iptcCategory.empty() || !iptcObjectName.empty() || !iptcCopyright.empty() ||
           !iptcKeywords.empty();
  }
  // Whether any step may change a file.
  bool Edits() const {
    return AdjustsDates() || clearOrientation || removeThumbnail || !commentText.empty() ||
           SetsIptc();
  }
  // Whether a step reads the file's signed coordinate texts (JSON, KML, GPS list).
  bool UsesCoordinates() const { return json || kml || gpsList; }
};

struct RunContext {
  // memoryBound: how much text each of the three growing lists keeps in memory.
  explicit RunContext(platform::Console& out,
                      size_t memoryBound = OutputSpool::kDefaultMemoryBound)
      : console(out),
        outputList(memoryBound),
        errorLog(std::min(memoryBound, kLogMemoryBound)),
        infoLog(std::min(memoryBound, kLogMemoryBound)) {}

  // The logs grow by a line or two per file and are read only at the end.
  static constexpr size_t kLogMemoryBound = 64 << 10;

  platform::Console& console;
  RunSettings settings;
  StringList kmlHeader;
  OutputSpool outputList;
  StringList kmlFooter;
  int32_t kmlOverlays = 0;  // photo overlays written so far; numbers the next one
  OutputSpool errorLog;
  OutputSpool infoLog;
};

}  // namespace pixmeta
