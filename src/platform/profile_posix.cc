// The profile calls on Linux, answered by our own INI reader. A file that
// cannot be read answers like a file without sections.
//
// Like the Windows functions, the last file read stays parsed while its size
// and modification time are unchanged: the configuration reader asks several
// questions per section, and a large file must not be parsed for each one.
#include <sys/stat.h>

#include <algorithm>
#include <optional>

#include "platform/files.h"
#include "platform/ini_profile.h"
#include "platform/profile.h"
#include "platform/text.h"

namespace vantorel {
namespace {

struct FileStamp {
  std::string path;
  dev_t device;
  ino_t inode;
  off_t size;
  struct timespec modified;

  bool operator==(const FileStamp& other) const {
    return path == other.path && device == other.device && inode == other.inode &&
           size == other.size && modified.tv_sec == other.modified.tv_sec &&
           modified.tv_nsec == other.modified.tv_nsec;
  }
};

std::optional<FileStamp> StampOf(const std::string& path) {
  std::string native = path;
  std::replace(native.begin(), native.end(), '\\', '/');
  struct stat info;
  if (stat(native.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return FileStamp{path, info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

const IniDocument& LoadDocument(const std::wstring& path) {
  static const IniDocument kEmpty = IniDocument::Parse({});
  static std::optional<FileStamp> cachedStamp;
  static IniDocument cached = IniDocument::Parse({});

  const auto narrowPath = NarrowText(path);
  if (!narrowPath) return kEmpty;
  const auto stamp = StampOf(*narrowPath);
  if (stamp && cachedStamp == stamp) return cached;
  const auto content = ReadWholeFile(*narrowPath);
  if (!content) return kEmpty;
  cached = IniDocument::Parse(*content);
  // A file that changed while it was read is parsed again next time.
  cachedStamp = stamp == StampOf(*narrowPath) ? stamp : std::nullopt;
  return cached;
}

}  // namespace

uint32_t ProfileSectionNames(wchar_t* buffer, uint32_t capacity, const std::wstring& path) {
  return LoadDocument(path).SectionNames(buffer, capacity);
}

uint32_t ProfileString(const std::wstring& section, const std::wstring& key, wchar_t* buffer,
                       uint32_t capacity, const std::wstring& path) {
  // The unnamed section never answers, so the file need not be read for it.
  if (section.empty()) return IniDocument::Parse({}).String(section, key, buffer, capacity);
  return LoadDocument(path).String(section, key, buffer, capacity);
}

}  // namespace vantorel
