#include "machinery/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <vector>

namespace vantorel {
namespace {

TEST(WorkerPool, RunsEveryTaskAndHandsBackWhatOneThrew) {
  for (const unsigned threads : {0u, 1u, 4u}) {
    SCOPED_TRACE(threads);
    WorkerPool pool(threads);
    std::atomic<int> ran = 0;
    std::vector<TaskHandle> handles;
    for (int i = 0; i < 8; ++i) handles.push_back(pool.Submit([&ran] { ++ran; }));
    TaskHandle failing = pool.Submit([] { throw std::runtime_error("no memory for it"); });
    EXPECT_THROW(failing.Join(), std::runtime_error);
    for (TaskHandle& handle : handles) handle.Join();
    EXPECT_EQ(ran, 8);
    EXPECT_LE(pool.threads(), threads);
  }
}

// A thread is started only for a task that finds every worker busy.
TEST(WorkerPool, StartsNoThreadThatWouldHaveNoWork) {
  WorkerPool pool(16);
  for (int i = 0; i < 10; ++i) pool.Submit([] {}).Join();
  EXPECT_EQ(pool.threads(), 1u);
}

// What a task uses may go away once its handle is dropped.
TEST(WorkerPool, DroppingAHandleWaitsForItsTask) {
  WorkerPool pool(2);
  std::atomic<bool> finished = false;
  {
    const TaskHandle handle = pool.Submit([&finished] {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      finished = true;
    });
  }
  EXPECT_TRUE(finished);
}

}  // namespace
}  // namespace vantorel
