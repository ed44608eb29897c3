// What the system tells a process about where it runs: the processors it
// may use and its environment.
#pragma once

#include <optional>
#include <string>

namespace vantorel {

// The processors this process may run on; at least 1.
unsigned ProcessorCount();

// The value of an environment variable; nullopt when it is not set.
std::optional<std::wstring> EnvironmentValue(const std::wstring& name);

}  // namespace vantorel
