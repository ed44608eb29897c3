// The status line of a long run, refreshed by a thread of its own so that it
// moves even while one slow chunk is encoded.
#include "machinery/progress.h"

#include <algorithm>
#include <charconv>
#include <system_error>

namespace vantorel {
namespace {

constexpr auto kQuietStart = std::chrono::seconds(1);
constexpr auto kMeasuredEnough = std::chrono::seconds(1);
constexpr auto kRefreshEvery = std::chrono::milliseconds(250);
constexpr double kMegabyte = 1e6;

// A number with `decimals` digits after the point, rounded.
std::string Fixed(double value, int decimals) {
  char text[64];
  const auto [end, error] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(text, end) : "?";
}

std::string Megabytes(uint64_t bytes) { return Fixed(static_cast<double>(bytes) / kMegabyte, 1); }

}  // namespace

Progress::Progress(StatusDisplay* display) : display_(display) {}

Progress::~Progress() {
  if (ticker_.joinable()) {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    stop_.notify_all();
    ticker_.join();
  }
  if (display_) display_->Clear();
}

void Progress::Begin(std::size_t partitions, std::optional<uint64_t> totalBytes) {
  partitions_ = partitions;
  total_ = totalBytes;
  start_ = std::chrono::steady_clock::now();
  if (!display_ || ticker_.joinable()) return;
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
  if (!display_) return;
  const auto now = std::chrono::steady_clock::now();
  const uint64_t done = done_;
  MeasuredWork measured;
  if (measuring_.load(std::memory_order_acquire)) {
    measured = {done - std::min(done, measuredFrom_), now - measuredSince_};
  }
  const std::string line =
      ProgressLine(partition_, partitions_, done, total_, now - start_, measured);
  if (!line.empty()) display_->Show(line);
}

void Progress::Tick() {
  std::unique_lock lock(mutex_);
  while (!stop_.wait_for(lock, kRefreshEvery, [this] { return stopping_; })) Refresh();
}

std::string ProgressLine(std::size_t partition, std::size_t partitions, uint64_t done,
                         std::optional<uint64_t> total, std::chrono::duration<double> elapsed,
                         MeasuredWork measured) {
  if (elapsed < kQuietStart || partitions == 0) return {};
  std::string line = "partition " + std::to_string(partition + 1) + " of " +
                     std::to_string(partitions) + ", " + Megabytes(done);
  if (total) line += " of " + Megabytes(*total);
  line += " MB";
  if (measured.time < kMeasuredEnough || measured.bytes == 0) return line;
  const double rate = static_cast<double>(measured.bytes) / measured.time.count();
  line += ", " + Fixed(rate / kMegabyte, 1) + " MB/s";
  if (total && *total >= done) {
    line += ", " + Fixed(static_cast<double>(*total - done) / rate, 0) + " s left";
  }
  return line;
}

}  // namespace vantorel
