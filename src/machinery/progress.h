// Progress of a long run for people watching it at a terminal: one status
// line, "partition k of n, done of total MB, rate MB/s, time left", handed to
// the display the program gives (its standard error at a terminal; none
// elsewhere, so that logs and pipes see exactly what they always saw),
// refreshed a few times a second once the run has lasted a second, and
// cleared when the run ends. The rate and the time left come only once a
// second of work has been measured, counted from the first bytes done, so
// that the setup and a first chunk still in the works never make a guess.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "platform/status_display.h"

namespace vantorel {

class Progress {
 public:
  // Shows the line on `display`; nothing when there is none.
  explicit Progress(StatusDisplay* display = nullptr);
  // Erases the line and stops refreshing it.
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // The work ahead: `partitions` partitions, `totalBytes` bytes in all when
  // known. Starts the clock.
  void Begin(std::size_t partitions, std::optional<uint64_t> totalBytes);
  // Work on partition `index` (from 0) has begun.
  void StartPartition(std::size_t index);
  // `bytes` more are done. Safe from any thread.
  void Advance(uint64_t bytes);

  // The bytes Begin was told of, and those Advance counted so far.
  std::optional<uint64_t> total() const { return total_; }
  uint64_t done() const { return done_; }

 private:
  void Refresh();
  void Tick();

  StatusDisplay* const display_;
  std::size_t partitions_ = 0;
  std::optional<uint64_t> total_;
  std::atomic<std::size_t> partition_ = 0;
  std::atomic<uint64_t> done_ = 0;
  std::chrono::steady_clock::time_point start_;
  // Where the measured work begins: the first bytes done, and when.
  std::atomic<bool> measuring_ = false;
  std::mutex measureMutex_;
  std::chrono::steady_clock::time_point measuredSince_;
  uint64_t measuredFrom_ = 0;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread ticker_;
};

// Bytes done over a stretch of time, from which a rate is told.
struct MeasuredWork {
  uint64_t bytes = 0;
  std::chrono::duration<double> time{0};
};

// The status line for the given state; empty before the first second, and
// without rate and time left before a second of work was measured.
// Declared here for its tests; Progress is its only caller.
std::string ProgressLine(std::size_t partition, std::size_t partitions, uint64_t done,
                         std::optional<uint64_t> total, std::chrono::duration<double> elapsed,
                         MeasuredWork measured);

}  // namespace vantorel
