#include "platform/console.h"

#include <unistd.h>

#include <cerrno>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

constexpr size_t kFlushThreshold = 1 << 16;

}  // namespace

Console::Console(Target target)
    : target_(target),
      status_(target == Target::StandardOutput),
      outputIsTerminal_(status_.Available() && ::isatty(STDOUT_FILENO) == 1) {}

Console::~Console() { Flush(); }

void Console::WriteLine(std::string_view line) {
  Append(line);
  pending_ += '\n';
  FlushWhenFull();
}

void Console::WriteText(std::string_view text) {
  // A long text goes out in slices that end after a line end, which no CR LF pair and no
  // UTF-8 sequence spans, so the buffer stays small.
  while (text.size() > kFlushThreshold) {
    size_t cut = text.rfind('\n', kFlushThreshold);
    if (cut == std::string_view::npos) cut = text.find('\n', kFlushThreshold);
    if (cut == std::string_view::npos || cut + 1 == text.size()) break;
    Append(text.substr(0, cut + 1));
    FlushWhenFull();
    text.remove_prefix(cut + 1);
  }
  Append(text);
  if (!pending_.empty() && pending_.back() == '\n') FlushWhenFull();
}

void Console::WriteConverted(std::string_view text) {
  // A long text, such as a piece of the output list, goes out as it is, without passing
  // through the buffer.
  if (target_ == Target::StandardOutput &&
      (pending_.size() + text.size() >= kFlushThreshold || text.size() >= kFlushThreshold / 8)) {
    Flush();
    WriteOut(text);
    return;
  }
  pending_ += text;
}

void Console::Append(std::string_view text) { AppendOutputUtf8(pending_, text, true); }

void Console::FlushWhenFull() {
  // Only after a line end: runs that share one output file never split each other's lines.
  if (target_ == Target::StandardOutput && pending_.size() >= kFlushThreshold) Flush();
}

void Console::Flush() {
  if (target_ != Target::StandardOutput) return;
  WriteOut(pending_);
  pending_.clear();
}

void Console::WriteOut(std::string_view text) {
  if (text.empty()) return;
  // On a terminal that shows the status line too, output starts on a blank line; the
  // next update draws the status line again below it.
  if (outputIsTerminal_) status_.Clear();
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a closed or broken standard output loses the rest
    done += static_cast<size_t>(n);
  }
}

}  // namespace pixmeta::platform
