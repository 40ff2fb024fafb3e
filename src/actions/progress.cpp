#include "actions/progress.h"

#include <algorithm>

#include "platform/clock.h"

namespace pixmeta {

int64_t CountNamedFiles(const FileArguments& fileArgs) {
  int64_t count = 0;
  for (auto arg = fileArgs.Next(0); arg; arg = fileArgs.Next(arg->second + 1)) {
    const std::string_view text = arg->first;
    if (text.find_first_of("*?") != std::string_view::npos) return 0;
    count += 1 + static_cast<int64_t>(std::count(text.begin(), text.end(), ','));
  }
  return count;
}

Progress::Progress(RunContext& run) {
  const RunSettings& s = run.settings;
  platform::StatusLine& status = run.console.status();
  if (!status.Available() || s.quiet || s.json) return;
  status_ = &status;
  total_ = CountNamedFiles(s.fileArgs);
  startMs_ = platform::MonotonicMilliseconds();
}

Progress::~Progress() {
  if (status_ != nullptr) status_->Clear();
}

void Progress::Update(std::string_view path) {
  ++done_;
  const int64_t now = platform::MonotonicMilliseconds();
  if (drawnMs_ < 0) {
    if (total_ <= kManyFiles && done_ <= kManyFiles && now - startMs_ < kLongRunMs) return;
  } else if (now - drawnMs_ < kRedrawMs) {
    return;
  }
  drawnMs_ = now;
  text_.assign("pixmeta: ");
  text_ += std::to_string(done_);
  text_ += '/';
  text_ += total_ > 0 ? std::to_string(total_) : "?";
  text_ += ' ';
  text_ += path;
  status_->Show(text_);
}

}  // namespace pixmeta
