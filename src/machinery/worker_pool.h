// Worker threads for the packer and the reader. A thread is started only
// when a task finds no idle worker, up to the pool's limit, so that no thread
// exists without work; when the system refuses a thread, the tasks run on
// the threads there are, or at once on the caller's thread when there are none.
// Every task is waited for before anything it uses can go away: its handle
// waits when it is dropped, and the pool waits for all of them when it ends.
#pragma once

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vantorel {

// The completion of one task. Dropping it waits for the task.
class TaskHandle {
 public:
  TaskHandle() = default;
  explicit TaskHandle(std::future<void> done) : done_(std::move(done)) {}
  TaskHandle(TaskHandle&&) = default;
  TaskHandle& operator=(TaskHandle&& other) noexcept;
  ~TaskHandle() { Wait(); }

  // Waits for the task, if there is one; an exception it threw is dropped.
  void Wait();
  // Waits for the task and rethrows an exception it threw; nothing when
  // there is no task.
  void Join();

 private:
  std::future<void> done_;
};

class WorkerPool {
 public:
  // At most `maxThreads` workers; 0 runs every task on the caller's thread.
  explicit WorkerPool(unsigned maxThreads);
  // Finishes the queued tasks, then joins every thread.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues the task, starting a thread for it when every worker is busy and
  // the limit allows; with no thread at all it runs before Submit returns.
  // Throws std::bad_alloc when the task cannot be queued.
  TaskHandle Submit(std::function<void()> task);
  unsigned maxThreads() const { return maxThreads_; }
  // Threads started so far.
  unsigned threads() const;

 private:
  void Work();
  void StartThreadIfNeeded();

  const unsigned maxThreads_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  struct Task {
    std::function<void()> work;
    std::promise<void> done;
  };
  // Makes the task's outcome known to its handle.
  static void Complete(Task& task, std::exception_ptr failure);

  std::deque<Task> tasks_;
  unsigned idle_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace vantorel
