// A small pool of worker threads that run tasks and report completion
// through futures. With no threads, a task runs at once on the caller's
// thread, so callers have one code path for both.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vantorel {

class WorkerPool {
 public:
  explicit WorkerPool(unsigned threads);
  // Finishes the queued tasks, then joins every thread.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  std::future<void> Submit(std::function<void()> task);
  unsigned threads() const { return static_cast<unsigned>(threads_.size()); }

 private:
  void Work();

  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::packaged_task<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vantorel
