// One line on standard error that overwrites itself: a sign of life on a long run, shown
// only when standard error is a terminal. It never goes into standard output.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace pixmeta::platform {

class StatusLine {
 public:
  // A line on standard error when wanted and that is a terminal; otherwise every call does
  // nothing.
  explicit StatusLine(bool wanted);
  ~StatusLine();
  StatusLine(const StatusLine&) = delete;
  StatusLine& operator=(const StatusLine&) = delete;

  bool Available() const { return available_; }
  // Replaces the line with text (console bytes as the program holds them), cut from the
  // left to fit the terminal's width; control characters show as '?'.
  void Show(std::string_view text);
  // Blanks the line and puts the cursor back at its start.
  void Clear();

 private:
  bool available_ = false;
  size_t shownColumns_ = 0;
  std::string line_;
};

}  // namespace pixmeta::platform
