#include "platform/stop_signals.h"

#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace pixmeta::platform {
namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// The program's one piece of global mutable state, because a signal handler can reach
// nothing else: the names the handler removes, in fixed buffers that it reads without
// allocating or locking. A slot is free, being filled (the handler skips it), or armed.
// The program never changes its current folder, so a relative name stays valid.
enum SlotState : int { kFree, kFilling, kArmed };
struct Slot {
  std::atomic<int> state{kFree};
  char path[PATH_MAX];
};
static_assert(std::atomic<int>::is_always_lock_free, "the handler may only use lock-free atomics");
// A run writes at most a photo, the -o file and a log at once.
constexpr int kSlots = 8;
Slot slots[kSlots];

void RemoveAndDie(int signal) {
  for (const Slot& slot : slots) {
    if (slot.state.load(std::memory_order_acquire) == kArmed) ::unlink(slot.path);
  }
  // SA_RESETHAND restored the default action; the signal, blocked while the handler runs,
  // ends the process as soon as it is unblocked, so the exit status names it.
  ::raise(signal);
  sigset_t set;
  ::sigemptyset(&set);
  ::sigaddset(&set, signal);
  ::sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

}  // namespace

void RemoveTemporariesWhenStopped() {
  static const bool installed = [] {
    struct sigaction action{};
    action.sa_handler = &RemoveAndDie;
    action.sa_flags = SA_RESETHAND;
    // A second stop signal waits, so the first one is the one the process dies of.
    ::sigemptyset(&action.sa_mask);
    for (const int signal : kStopSignals) ::sigaddset(&action.sa_mask, signal);
    for (const int signal : kStopSignals) {
      struct sigaction old{};
      if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler != SIG_IGN) {
        ::sigaction(signal, &action, nullptr);
      }
    }
    return true;
  }();
  static_cast<void>(installed);
}

RemovedWhenStopped::RemovedWhenStopped(const std::string& path) {
  if (path.size() >= sizeof(Slot::path)) return;  // no file can have that name
  for (int i = 0; i < kSlots; ++i) {
    int expected = kFree;
    if (!slots[i].state.compare_exchange_strong(expected, kFilling)) continue;
    std::memcpy(slots[i].path, path.c_str(), path.size() + 1);
    slots[i].state.store(kArmed, std::memory_order_release);
    slot_ = i;
    return;
  }
}

RemovedWhenStopped::RemovedWhenStopped(RemovedWhenStopped&& other) noexcept
    : slot_(other.slot_) {
  other.slot_ = -1;
}

RemovedWhenStopped& RemovedWhenStopped::operator=(RemovedWhenStopped&& other) noexcept {
  if (this != &other) {
    Release();
    slot_ = other.slot_;
    other.slot_ = -1;
  }
  return *this;
}

void RemovedWhenStopped::Release() {
  if (slot_ < 0) return;
  slots[slot_].state.store(kFree, std::memory_order_release);
  slot_ = -1;
}

}  // namespace pixmeta::platform
