#include "platform/status_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/code_page.h"

namespace pixmeta::platform {
namespace {

constexpr size_t kDefaultColumns = 80;
constexpr size_t kFewestColumns = 16;  // below this the line would say nothing

size_t TerminalColumns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

void WriteError(std::string_view text) {
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

}  // namespace

StatusLine::StatusLine(bool wanted) : available_(wanted && ::isatty(STDERR_FILENO) == 1) {}

StatusLine::~StatusLine() { Clear(); }

void StatusLine::Show(std::string_view text) {
  if (!available_) return;
  // The last column stays free: a line that fills it would wrap on some terminals, and a
  // wrapped line cannot be overwritten from its start.
  const size_t room = TerminalColumns() - 1;
  if (room < kFewestColumns) return;
  std::string utf8 = ToOutputUtf8(text);
  for (char& c : utf8) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  }
  size_t columns = 0;
  for (const char c : utf8) columns += IsUtf8Continuation(c) ? 0 : 1;
  size_t start = 0;
  if (columns > room) {
    // Keep the end, where the file name is, behind "...".
    size_t drop = columns - room + 3;
    while (start < utf8.size() && drop > 0) {
      ++start;
      while (start < utf8.size() && IsUtf8Continuation(utf8[start])) ++start;
      --drop;
    }
    columns = room;
  }
  line_.assign(1, '\r');
  if (start > 0) line_.append(3, '.');
  line_.append(utf8, start);
  if (shownColumns_ > columns) line_.append(shownColumns_ - columns, ' ');
  WriteError(line_);
  shownColumns_ = columns;
}

void StatusLine::Clear() {
  if (shownColumns_ == 0) return;
  line_.assign(shownColumns_ + 2, ' ');
  line_.front() = '\r';
  line_.back() = '\r';
  WriteError(line_);
  shownColumns_ = 0;
}

}  // namespace pixmeta::platform
