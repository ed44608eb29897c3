// The choice of the number of workers, the same on every platform.
#include "machinery/worker_count.h"

#include "platform/host.h"

namespace vantorel {

std::optional<unsigned> ParseWorkerCount(std::wstring_view value) {
  // Three digits reach every allowed value; more are refused unread.
  while (value.size() > 1 && value.front() == L'0') value.remove_prefix(1);
  if (value.empty() || value.size() > 3) return std::nullopt;
  unsigned count = 0;
  for (const wchar_t c : value) {
    if (c < L'0' || c > L'9') return std::nullopt;
    count = count * 10 + static_cast<unsigned>(c - L'0');
  }
  if (count > kMaxWorkers) return std::nullopt;
  return count;
}

WorkerChoice ChooseWorkers() {
  const std::wstring name = L"VANTOREL_THREADS";
  const auto value = EnvironmentValue(name);
  if (!value) return {ProcessorCount(), {}};
  if (const auto count = ParseWorkerCount(*value)) return {count, {}};
  return {std::nullopt,
          name + L" must be a number from 0 to " + std::to_wstring(kMaxWorkers) + L": " + *value};
}

}  // namespace vantorel
