#include "actions/file_loop.h"

#include <string>

#include "platform/file_system.h"
#include "util/file_enum.h"
#include "util/text_utils.h"

namespace pixmeta {
namespace {

// What the steps of one file share.
struct FileState {
  const StringList& fileList;
  size_t index = 0;  // position of the file in fileList
  std::string path;
  StringList report;  // fileReport: section headings and key=value lines
};

void ProcessFile(RunContext& run, FileState& file) {
  file.report.Clear();

  run.infoLog.Add("file:" + file.path);
  if (run.settings.DebugMode()) run.console.WriteLine("#file:" + file.path);
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
  FileState file{.fileList = fileList, .index = 0, .path = {}, .report = {}};
  for (size_t i = 0; i < fileList.Count(); ++i) {
    file.index = i;
    file.path = fileList[i];
    ProcessFile(run, file);
  }
  return LoopOutcome::Done;
}

}  // namespace pixmeta
