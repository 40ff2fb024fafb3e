#include "util/output_spool.h"

#include <algorithm>
#include <memory>

#include "platform/code_page.h"

namespace pixmeta {
namespace {

constexpr size_t kReadBlock = 1 << 16;
constexpr size_t kStreamPiece = 64 << 10;

}  // namespace

void OutputSpool::Add(std::string_view item) {
  // The memory is taken once and never grows: what would not fit goes out first.
  const size_t most = item.size() * platform::kMaxOutputGrowth + 2;
  // Text that streams goes out in pieces small enough to stay in the processor's cache.
  const size_t bound = sink_ ? std::min(memoryBound_, kStreamPiece) : memoryBound_;
  if (memory_.capacity() < bound) memory_.Room(bound);
  if (!memory_.empty() && memory_.size() + most > bound && !spillFailed_) Spill();
  char* out = platform::EncodeOutputUtf8(memory_.Room(most), item, lfLineEnds_);
  if (!lfLineEnds_) *out++ = '\r';
  *out++ = '\n';
  memory_.End(out);
  ++count_;
}

void OutputSpool::Spill() {
  if (sink_) {
    if (sink_(memory_.view())) {
      streamed_ = true;
      memory_.clear();
      return;
    }
    if (!streamed_) sink_ = nullptr;
  }
  if (!spill_) {
    if (std::optional<platform::SpillFile> file = platform::SpillFile::Create()) {
      spill_.emplace(std::move(*file));
    }
  }
  if (spill_ && spill_->Append(memory_.view())) {
    memory_.clear();
  } else {
    spillFailed_ = true;
  }
}

bool OutputSpool::WriteTo(const std::function<bool(std::string_view)>& write) const {
  if (spill_ && spill_->Size() > 0) {
    const auto block = std::make_unique_for_overwrite<char[]>(kReadBlock);
    uint64_t offset = 0;
    while (offset < spill_->Size()) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(kReadBlock, spill_->Size() - offset));
      const size_t got = spill_->ReadAt(offset, block.get(), want);
      if (got != want) return false;
      // A piece ends after its last line end; the rest comes again with the next piece.
      std::string_view piece(block.get(), got);
      if (offset + got < spill_->Size()) {
        const size_t lineEnd = piece.rfind('\n');
        if (lineEnd != std::string_view::npos) piece = piece.substr(0, lineEnd + 1);
      }
      if (!write(piece)) return false;
      offset += piece.size();
    }
  }
  return memory_.empty() || write(memory_.view());
}

}  // namespace pixmeta
