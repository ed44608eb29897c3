// The configuration file as the two profile calls of the Windows API answer
// for it, with their buffer capacities and returned counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/ini_profile.h"

namespace vantorel {

class ProfileFile {
 public:
  // Takes the file at `path` for the questions that follow. On Linux it is
  // read once, here, whatever kind of file it is (a pipe too); on Windows
  // kernel32 reads it by its full path. A file that cannot be read answers
  // like a file without sections. Nothing is printed.
  ProfileFile(const std::wstring& path, std::size_t maxBytes);
  ~ProfileFile();
  ProfileFile(const ProfileFile&) = delete;
  ProfileFile& operator=(const ProfileFile&) = delete;

  // True when the file holds more than maxBytes; it then answers like a
  // file without sections.
  bool TooLarge() const;
  // False when the file cannot be opened or read; ReadError then gives the
  // system's error code (system_error.h).
  bool Readable() const;
  int ReadError() const;

  // As GetPrivateProfileSectionNamesW: the count written before the final
  // zero.
  uint32_t SectionNames(wchar_t* buffer, uint32_t capacity) const;
  // As GetPrivateProfileStringW without a default: the count copied, 0 when
  // the section or key is missing or the value is empty. The unnamed
  // section never answers.
  uint32_t String(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                  uint32_t capacity) const;

  // The file as our own reader splits it, for the lines that messages name.
  // On Windows, where kernel32 answers the calls, the file is read once more
  // for it; the lines are the same.
  const IniDocument& Lines() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantorel
