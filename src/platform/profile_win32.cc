// The profile calls on Windows: kernel32's own. They look a file name without
// a folder up in the Windows folder, not the current one, so a relative path
// is made full first; the lines the reader prints keep the path as given.
// kernel32 reads the file at each call, so only its size is checked here.
#include <windows.h>

#include <tuple>
#include <utility>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel {
namespace {

std::wstring FullPath(const std::wstring& path) {
  const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (length == 0) return path;
  std::vector<wchar_t> full(length);
  if (GetFullPathNameW(path.c_str(), length, full.data(), nullptr) == 0) return path;
  return full.data();
}

// Whether the file opens, and whether it holds more than `maxBytes`.
std::pair<bool, bool> OpensAndHoldsMoreThan(const std::wstring& path, std::size_t maxBytes,
                                            int& error) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    error = static_cast<int>(GetLastError());
    return {false, false};
  }
  LARGE_INTEGER size;
  const bool tooLarge =
      GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) > maxBytes;
  CloseHandle(file);
  return {true, tooLarge};
}

}  // namespace

struct ProfileFile::State {
  std::wstring fullPath;
  bool readable = false;
  bool tooLarge = false;
  int readError = 0;
  IniDocument lines = IniDocument::Parse({});
};

ProfileFile::ProfileFile(const std::wstring& path, std::size_t maxBytes)
    : state_(std::make_unique<State>()) {
  if (path.empty()) return;
  state_->fullPath = FullPath(path);
  std::tie(state_->readable, state_->tooLarge) =
      OpensAndHoldsMoreThan(state_->fullPath, maxBytes, state_->readError);
  const auto narrowPath = NarrowText(path);
  if (!state_->readable || state_->tooLarge || !narrowPath) return;
  const FileContent content = ReadWholeFile(*narrowPath, maxBytes);
  if (content.reading == FileContent::Reading::kRead) {
    state_->lines = IniDocument::Parse(content.bytes);
  }
}

ProfileFile::~ProfileFile() = default;

bool ProfileFile::TooLarge() const { return state_->tooLarge; }

bool ProfileFile::Readable() const { return state_->readable; }

int ProfileFile::ReadError() const { return state_->readError; }

const IniDocument& ProfileFile::Lines() const { return state_->lines; }

uint32_t ProfileFile::SectionNames(wchar_t* buffer, uint32_t capacity) const {
  if (state_->fullPath.empty() || state_->tooLarge) {
    for (uint32_t i = 0; i < capacity && i < 2; ++i) buffer[i] = 0;
    return 0;
  }
  return GetPrivateProfileSectionNamesW(buffer, capacity, state_->fullPath.c_str());
}

uint32_t ProfileFile::String(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                             uint32_t capacity) const {
  // Keys before the first header would answer an empty section name here;
  // they never do on Linux, and never do on either build.
  if (section.empty() || state_->fullPath.empty() || state_->tooLarge) {
    if (capacity > 0) buffer[0] = 0;
    return 0;
  }
  return GetPrivateProfileStringW(section.c_str(), key.c_str(), nullptr, buffer, capacity,
                                  state_->fullPath.c_str());
}

}  // namespace vantorel
