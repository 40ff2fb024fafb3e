#include "platform/console.h"

#include <unistd.h>

#include <cerrno>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

constexpr size_t kFlushThreshold = 1 << 16;

}  // namespace

Console::Console(Target target) : target_(target) {}

Console::~Console() { Flush(); }

void Console::WriteLine(std::string_view line) {
  WriteText(line);
  pending_ += '\n';
}

void Console::WriteText(std::string_view text) {
  AppendOutputUtf8(pending_, text, true);
  if (target_ == Target::StandardOutput && pending_.size() >= kFlushThreshold) Flush();
}

void Console::Flush() {
  if (target_ != Target::StandardOutput) return;
  size_t done = 0;
  while (done < pending_.size()) {
    const ssize_t n = ::write(STDOUT_FILENO, pending_.data() + done, pending_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // a closed or broken standard output loses the rest
    done += static_cast<size_t>(n);
  }
  pending_.clear();
}

}  // namespace pixmeta::platform
