// The program's own facts on Windows: the version from the executable's
// VERSIONINFO resource, the usage name in the thread's ANSI code page.
#include <windows.h>

#include <vector>

#include "platform/program.h"

namespace vantorel {
namespace {

// A movable global memory block, unlocked and freed on every way out.
class LockedBlock {
 public:
  explicit LockedBlock(DWORD size) : handle_(GlobalAlloc(GMEM_MOVEABLE, size)) {
    if (handle_) data_ = GlobalLock(handle_);
  }
  ~LockedBlock() {
    if (data_) GlobalUnlock(handle_);
    if (handle_) GlobalFree(handle_);
  }
  LockedBlock(const LockedBlock&) = delete;
  LockedBlock& operator=(const LockedBlock&) = delete;
  void* data() const { return data_; }

 private:
  HGLOBAL handle_;
  void* data_ = nullptr;
};

}  // namespace

std::optional<FileVersion> ReadOwnFileVersion() {
  wchar_t path[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return std::nullopt;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0) return std::nullopt;
  LockedBlock block(size);
  if (!block.data() || !GetFileVersionInfoW(path, 0, size, block.data())) return std::nullopt;
  VS_FIXEDFILEINFO* info = nullptr;
  UINT infoLength = 0;
  if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&info), &infoLength) ||
      info == nullptr || infoLength < sizeof *info) {
    return std::nullopt;
  }
  return FileVersion{HIWORD(info->dwFileVersionMS), LOWORD(info->dwFileVersionMS),
                     HIWORD(info->dwFileVersionLS)};
}

std::string UsageProgramName(std::wstring_view programPath) {
  const std::wstring_view fileName = FileNameOf(programPath);
  const int capacity = static_cast<int>(fileName.size()) * 2 + 1;
  std::vector<char> name(static_cast<std::size_t>(capacity), '\0');
  const int length =
      WideCharToMultiByte(CP_THREAD_ACP, 0, fileName.data(), static_cast<int>(fileName.size()),
                          name.data(), capacity - 1, nullptr, nullptr);
  return std::string(name.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

WideArguments::WideArguments(int argc, NativeArgv argv) : texts_(argv, argv + argc) {
  for (const std::wstring& text : texts_) pointers_.push_back(text.c_str());
  pointers_.push_back(nullptr);
}

void PrepareProcess() {}

}  // namespace vantorel
