#pragma once
#include <atomic>

namespace tessora {

// A request from outside a procedure (a signal, a console's Ctrl+C) to stop at its next
// safe point: where the header page is erased, or between the blocks of a read-out, never
// half-way through a page or while the header is being written. An atomic number is all a
// signal handler may touch.
class StopRequest {
 public:
  // signal: what asked, e.g. SIGINT; not 0.
  void Request(int signal) noexcept {
    signal_.store(signal, std::memory_order_relaxed);
    requests_.fetch_add(1, std::memory_order_relaxed);
  }
  bool Requested() const noexcept { return signal_.load(std::memory_order_relaxed) != 0; }
  // 0 while nothing asked.
  int Signal() const noexcept { return signal_.load(std::memory_order_relaxed); }
  // How many times it was asked: a station drains on the first and stops on the second.
  int Requests() const noexcept { return requests_.load(std::memory_order_relaxed); }

 private:
  static_assert(std::atomic<int>::is_always_lock_free);
  std::atomic<int> signal_{0};
  std::atomic<int> requests_{0};
};

}  // namespace tessora
