// The profile calls on Linux, answered by our own INI reader. A file that
// cannot be read answers like a file without sections.
#include "platform/files.h"
#include "platform/ini_profile.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel {
namespace {

IniDocument LoadDocument(const std::wstring& path) {
  const auto narrowPath = NarrowText(path);
  if (!narrowPath) return IniDocument::Parse({});
  const auto content = ReadWholeFile(*narrowPath);
  return IniDocument::Parse(content ? *content : std::string());
}

}  // namespace

uint32_t GetProfileSectionNames(wchar_t* buffer, uint32_t capacity, const std::wstring& path) {
  return LoadDocument(path).SectionNames(buffer, capacity);
}

uint32_t GetProfileString(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                          uint32_t capacity, const std::wstring& path) {
  // The unnamed section never answers, so the file need not be read for it.
  if (section.empty()) return IniDocument::Parse({}).String(section, key, buffer, capacity);
  return LoadDocument(path).String(section, key, buffer, capacity);
}

}  // namespace vantorel
