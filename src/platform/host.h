// What the system tells a process about where it runs: the processors it
// may use and its environment.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vantorel {

// The processors this process may run on; at least 1.
unsigned ProcessorCount();

// The value of an environment variable; nullopt when it is not set.
std::optional<std::wstring> EnvironmentValue(const std::wstring& name);

// The folder relative paths are resolved from, in UTF-8; nullopt when the
// system cannot tell it.
std::optional<std::string> CurrentFolder();

// Whether a path, in the form the configuration gives it, is resolved from
// the current folder: on Linux one that starts with no separator (a
// backslash is one), on Windows one without a drive or a leading separator.
bool IsRelativePath(std::string_view path);

// The separator the system writes between folders: '/' on Linux (where a
// backslash in a path the system is given is one of its letters), '\\' on
// Windows.
char FolderSeparator();

}  // namespace vantorel
