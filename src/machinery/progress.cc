// The status line of a long run, refreshed by a thread of its own so that it
// moves even while one slow chunk is encoded.
#include "machinery/progress.h"

#include <algorithm>

#include "common/printed.h"
#include "platform/console.h"

namespace vantorel {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kMeasuredEnough = std::chrono::seconds(1);
constexpr auto kRefreshEvery = std::chrono::milliseconds(250);
constexpr double kMegabyte = 1e6;

}  // namespace

Progress::Progress(bool show) : show_(show) {}

Progress::Progress() : Progress(StandardErrorIsTerminal()) {}

Progress::~Progress() {
  if (ticker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    ticker_.join();
  }
  if (show_) ClearStatusLine();
}

void Progress::Begin(std::size_t partitions, std::optional<uint64_t> totalBytes) {
  partitions_ = partitions;
  total_ = totalBytes;
  start_ = std::chrono::steady_clock::now();
  if (!show_ || ticker_.joinable()) return;
  try {
    ticker_ = std::thread([this] { Tick(); });
  } catch (const std::exception&) {
    // Without a thread of its own the line moves only as the work does.
  }
}

void Progress::StartPartition(std::size_t index) {
  partition_ = index;
  if (!ticker_.joinable()) Refresh();
}

void Progress::Advance(uint64_t bytes) {
  const uint64_t done = done_ += bytes;
  if (!measuring_.load(std::memory_order_acquire)) {
    // The bytes of the first advance took an unknown time: the measure
    // starts after them.
    std::lock_guard lock(measureMutex_);
    if (!measuring_.load(std::memory_order_relaxed)) {
      measuredSince_ = std::chrono::steady_clock::now();
      measuredFrom_ = done;
      measuring_.store(true, std::memory_order_release);
    }
  }
  if (!ticker_.joinable()) Refresh();
}

void Progress::Refresh() {
  if (!show_) return;
  const auto now = std::chrono::steady_clock::now();
  const uint64_t done = done_;
  MeasuredWork measured;
  if (measuring_.load(std::memory_order_acquire)) {
    measured = {done - std::min(done, measuredFrom_), now - measuredSince_};
  }
  const std::string line =
      ProgressLine(partition_, partitions_, done, total_, now - start_, measured);
  if (!line.empty()) ShowStatusLine(line);
}

void Progress::Tick() {
  std::unique_lock lock(mutex_);
  while (!stop_.wait_for(lock, kRefreshEvery, [this] { return stopping_; })) Refresh();
}

std::string ProgressLine(std::size_t partition, std::size_t partitions, uint64_t done,
                         std::optional<uint64_t> total, std::chrono::duration<double> elapsed,
                         MeasuredWork measured) {
  if (elapsed < kQuietStart || partitions == 0) return {};
  std::string line = Printed("partition %zu of %zu, %.1f", partition + 1, partitions,
                             static_cast<double>(done) / kMegabyte);
  if (total) line += Printed(" of %.1f", static_cast<double>(*total) / kMegabyte);
  line += " MB";
  if (measured.time < kMeasuredEnough || measured.bytes == 0) return line;
  const double rate = static_cast<double>(measured.bytes) / measured.time.count();
  line += Printed(", %.1f MB/s", rate / kMegabyte);
  if (total && *total >= done) {
    line += Printed(", %.0f s left", static_cast<double>(*total - done) / rate);
  }
  return line;
}

}  // namespace vantorel
