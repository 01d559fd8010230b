#include "tools/interrupt.h"

#include <atomic>
#include <csignal>

namespace brondel::tool {

namespace {

std::atomic<bool> gInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void OnInterrupt(int) {
  gInterrupted.store(true);
}

}  // namespace

TInterruptCatcher::TInterruptCatcher() : previous_(std::signal(SIGINT, OnInterrupt)) {
  gInterrupted.store(false);
}

TInterruptCatcher::~TInterruptCatcher() {
  std::signal(SIGINT, previous_);
}

bool TInterruptCatcher::Requested() {
  return gInterrupted.load();
}

bool TInterruptCatcher::Take() {
  return gInterrupted.exchange(false);
}

}  // namespace brondel::tool
