// A sign of life on a long run: files done, files in all and the current file, on the
// status line of a terminal's standard error. Never in the output list, the logs or -o.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "actions/run_context.h"

namespace pixmeta {

class Progress {
 public:
  // Shown runs: standard error is a terminal, the run is not quiet (-q, -j), and it has more
  // than kManyFiles files or lasts longer than kLongRunMs.
  static constexpr int64_t kManyFiles = 300;
  static constexpr int64_t kLongRunMs = 1000;
  static constexpr int64_t kRedrawMs = 100;

  explicit Progress(RunContext& run);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // Called as each file starts; a run without a status line pays one test.
  void Step(std::string_view path) {
    if (status_ != nullptr) Update(path);
  }

 private:
  void Update(std::string_view path);

  platform::StatusLine* status_ = nullptr;
  int64_t total_ = 0;  // files in all; 0 when a pattern is yet to be searched
  int64_t done_ = 0;
  int64_t startMs_ = 0;
  int64_t drawnMs_ = -1;  // when the line was last drawn; -1 before the first time
  std::string text_;
};

// The files of the file arguments when every piece names one file; 0 when a piece is a
// pattern, whose files are only known once it is searched.
int64_t CountNamedFiles(const FileArguments& fileArgs);

}  // namespace pixmeta
