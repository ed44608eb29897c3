// The profile calls on Linux, answered by our own INI reader from the bytes
// of the file, read once.
#include "platform/files.h"
#include "platform/ini_profile.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel {

struct ProfileFile::State {
  IniDocument document;
  bool tooLarge = false;
  bool readable = false;
  int readError = 0;
};

ProfileFile::ProfileFile(const std::wstring& path, std::size_t maxBytes)
    : state_(std::make_unique<State>(State{IniDocument::Parse({}), false, false, 0})) {
  const auto narrowPath = NarrowText(path);
  if (!narrowPath || narrowPath->empty()) return;
  const FileContent content = ReadWholeFile(*narrowPath, maxBytes);
  state_->tooLarge = content.reading == FileContent::Reading::kTooLarge;
  state_->readable = content.reading != FileContent::Reading::kUnreadable;
  state_->readError = content.error;
  if (content.reading == FileContent::Reading::kRead) {
    state_->document = IniDocument::Parse(content.bytes);
  }
}

ProfileFile::~ProfileFile() = default;

bool ProfileFile::TooLarge() const { return state_->tooLarge; }

bool ProfileFile::Readable() const { return state_->readable; }

int ProfileFile::ReadError() const { return state_->readError; }

const IniDocument& ProfileFile::Lines() const { return state_->document; }

uint32_t ProfileFile::SectionNames(wchar_t* buffer, uint32_t capacity) const {
  return state_->document.SectionNames(buffer, capacity);
}

uint32_t ProfileFile::String(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                             uint32_t capacity) const {
  return state_->document.String(section, key, buffer, capacity);
}

}  // namespace vantorel
