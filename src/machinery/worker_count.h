// How many worker threads a run uses: one per processor it may run on, or
// what the environment variable VANTOREL_THREADS asks for.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

inline constexpr unsigned kMaxWorkers = 256;

// The number a VANTOREL_THREADS value gives: its decimal digits, from 0 to
// kMaxWorkers; nullopt for anything else (an empty value, a sign, a space).
// Declared here for its tests; ChooseWorkers is its only caller.
std::optional<unsigned> ParseWorkerCount(std::wstring_view value);

struct WorkerChoice {
  std::optional<unsigned> workers;  // none when the variable is refused
  std::wstring refusal;             // then the line that says why
};

// VANTOREL_THREADS unset: ProcessorCount() workers; a number from 0 to
// kMaxWorkers: that many (0: everything on the calling thread); anything
// else: refused. Prints nothing.
WorkerChoice ChooseWorkers();

}  // namespace vantorel
