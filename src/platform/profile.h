// The configuration file as the two profile calls of the Windows API answer
// for it, with their buffer capacities and returned counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

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
  // False when the file cannot be opened or read.
  bool Readable() const;

  // As GetPrivateProfileSectionNamesW: the count written before the final
  // zero.
  uint32_t SectionNames(wchar_t* buffer, uint32_t capacity) const;
  // As GetPrivateProfileStringW without a default: the count copied, 0 when
  // the section or key is missing or the value is empty. The unnamed
  // section never answers.
  uint32_t String(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                  uint32_t capacity) const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace vantorel
