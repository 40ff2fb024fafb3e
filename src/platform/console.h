// Console output. Text is kept in one buffer and written in large blocks; every write goes
// through the same buffer, so lines keep their order. Output is UTF-8 with LF line ends.
#pragma once

#include <string>
#include <string_view>

#include "platform/status_line.h"

namespace pixmeta::platform {

class Console {
 public:
  enum class Target { StandardOutput, Memory };

  explicit Console(Target target = Target::StandardOutput);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // One line: the text followed by a line end.
  void WriteLine(std::string_view line);
  // Text as it is; its CR LF pairs become LF.
  void WriteText(std::string_view text);
  // Text that is console output already (UTF-8 with LF line ends), byte for byte.
  void WriteConverted(std::string_view text);
  void Flush();

  // Everything written so far, for a Memory console.
  const std::string& Captured() const { return pending_; }

  // The self-overwriting line on standard error; a Memory console has none.
  StatusLine& status() { return status_; }

 private:
  void Append(std::string_view text);
  void FlushWhenFull();
  void WriteOut(std::string_view text);

  Target target_;
  std::string pending_;
  StatusLine status_;
  bool outputIsTerminal_;
};

}  // namespace pixmeta::platform
