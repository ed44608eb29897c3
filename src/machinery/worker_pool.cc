// The worker pool: threads started on demand, tasks in a queue, and
// outcomes (an exception too) handed to each task's handle.
#include "machinery/worker_pool.h"

#include <exception>

namespace vantorel {
namespace {

// Runs the work; what it threw, if anything.
std::exception_ptr Perform(const std::function<void()>& work) {
  try {
    work();
    return nullptr;
  } catch (...) {
    return std::current_exception();
  }
}

}  // namespace

TaskHandle& TaskHandle::operator=(TaskHandle&& other) noexcept {
  Wait();
  done_ = std::move(other.done_);
  return *this;
}

void TaskHandle::Wait() {
  if (done_.valid()) done_.wait();
}

void TaskHandle::Join() {
  if (done_.valid()) done_.get();
}

WorkerPool::WorkerPool(unsigned maxThreads) : maxThreads_(maxThreads) {
  threads_.reserve(maxThreads);  // so that starting a thread never moves the others
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

unsigned WorkerPool::threads() const {
  std::lock_guard lock(mutex_);
  return static_cast<unsigned>(threads_.size());
}

void WorkerPool::Complete(Task& task, std::exception_ptr failure) {
  if (failure) {
    task.done.set_exception(failure);
  } else {
    task.done.set_value();
  }
}

TaskHandle WorkerPool::Submit(std::function<void()> work) {
  Task task{std::move(work), {}};
  TaskHandle handle(task.done.get_future());
  {
    std::lock_guard lock(mutex_);
    if (maxThreads_ > 0) {
      tasks_.push_back(std::move(task));
      StartThreadIfNeeded();
      if (!threads_.empty()) {
        wake_.notify_one();
        return handle;
      }
      task = std::move(tasks_.back());
      tasks_.pop_back();
    }
  }
  Complete(task, Perform(task.work));
  return handle;
}

// Called with the mutex held. A new thread counts as idle until it takes
// its first task.
void WorkerPool::StartThreadIfNeeded() {
  if (tasks_.size() <= idle_ || threads_.size() >= maxThreads_) return;
  ++idle_;
  try {
    threads_.emplace_back([this] { Work(); });
  } catch (const std::exception&) {
    // The system has no thread for us now: the threads there are will do.
    --idle_;
  }
}

void WorkerPool::Work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    wake_.wait(lock, [this] { return stopping_ || !tasks_.empty(); });
    --idle_;
    if (tasks_.empty()) return;  // stopping, and nothing left to do
    Task task = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    const std::exception_ptr failure = Perform(task.work);
    lock.lock();
    // Idle again before the handle learns that the task is done, so that a
    // task submitted right after it finds this worker.
    ++idle_;
    Complete(task, failure);
  }
}

}  // namespace vantorel
