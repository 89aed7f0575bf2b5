// A bounded FIFO between two engine threads. A full queue blocks the
// producer (back-pressure); both sides can give up through a test that is
// re-checked whenever the queue is woken.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace tarnplayer {

template <typename T>
class BlockingQueue {
 public:
  explicit BlockingQueue(size_t capacity) : capacity_(capacity) {}

  // False when `abandon` answered true before there was room.
  bool Push(T&& item, const std::function<bool()>& abandon) {
    std::unique_lock<std::mutex> lock(mutex_);
    while (items_.size() >= capacity_) {
      if (abandon()) return false;
      changed_.wait_for(lock, std::chrono::milliseconds(20));
    }
    items_.push_back(std::move(item));
    changed_.notify_all();
    return true;
  }
  // False when nothing arrived within `timeout`.
  bool Pop(T& item, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!changed_.wait_for(lock, timeout, [this] { return !items_.empty(); })) return false;
    item = std::move(items_.front());
    items_.pop_front();
    // A producer that waits on a full queue is woken once a quarter of it has
    // drained, not for every item, so the two threads do not trade places
    // packet by packet (small queues still wake it at every item).
    const size_t spare = capacity_ / 4 > 1 ? capacity_ / 4 : 1;
    if (items_.size() + spare <= capacity_) changed_.notify_all();
    return true;
  }
  void Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    items_.clear();
    changed_.notify_all();
  }
  // Empties the queue into `out`.
  void TakeAll(std::deque<T>& out) {
    std::lock_guard<std::mutex> lock(mutex_);
    out.swap(items_);
    items_.clear();
    changed_.notify_all();
  }
  void Wake() { changed_.notify_all(); }
  size_t Size() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return items_.size();
  }

 private:
  size_t capacity_;
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<T> items_;
};

}  // namespace tarnplayer
