// The run-level lists that are written out at the end of a run (the output list and the two
// logs). They only grow, and a run over many files would otherwise hold all of their text:
// beyond a bound the text moves to a temporary file, so memory stays flat however long the
// run is.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_system.h"
#include "platform/byte_buffer.h"

namespace pixmeta {

class OutputSpool {
 public:
  static constexpr size_t kDefaultMemoryBound = 4 << 20;

  explicit OutputSpool(size_t memoryBound = kDefaultMemoryBound) : memoryBound_(memoryBound) {}

  // How the held text ends its lines: CR LF as saved files do, or LF as the console does,
  // so that text bound for the console is converted once. Chosen before the first Add.
  enum class LineEnds { CrLf, Lf };
  void UseLineEnds(LineEnds lineEnds) { lfLineEnds_ = lineEnds == LineEnds::Lf; }
  LineEnds lineEnds() const { return lfLineEnds_ ? LineEnds::Lf : LineEnds::CrLf; }

  // Adds one item: its text in UTF-8 (see ToOutputUtf8) followed by a line end; its own
  // CR LF pairs become line ends of the chosen kind. An item may hold several lines.
  void Add(std::string_view item);

  bool Empty() const { return count_ == 0; }
  size_t Count() const { return count_; }

  // From now on, text beyond the memory bound goes to sink instead of the temporary file,
  // in pieces that each end with a whole line. A sink that refuses its first piece is
  // given up, and the temporary file takes the text after all.
  void StreamTo(std::function<bool(std::string_view)> sink) { sink_ = std::move(sink); }
  // Whether any text went to the sink; WriteTo then hands on only what came after it.
  bool Streamed() const { return streamed_; }

  // Hands everything added (and not streamed), in order, to write in pieces that each end
  // with a whole line. False when write refuses a piece or the temporary file cannot be
  // read back.
  bool WriteTo(const std::function<bool(std::string_view)>& write) const;

 private:
  void Spill();

  size_t memoryBound_;
  bool lfLineEnds_ = false;
  size_t count_ = 0;
  platform::ByteBuffer memory_;  // the text after what the temporary file holds
  std::optional<platform::SpillFile> spill_;
  std::function<bool(std::string_view)> sink_;
  bool streamed_ = false;
  bool spillFailed_ = false;  // then everything stays in memory
};

}  // namespace pixmeta
