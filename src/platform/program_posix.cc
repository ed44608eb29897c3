// The program's own facts on Linux: the version is compiled in from the
// project version, and names are UTF-8.
#include "app/version.h"
#include "platform/program.h"
#include "platform/utf8.h"

namespace vantorel {

std::optional<FileVersion> ReadOwnFileVersion() {
  return FileVersion{kVersionMajor, kVersionMinor, kVersionPatch};
}

std::string UsageProgramName(std::wstring_view fileName) { return EncodeUtf8ForDisplay(fileName); }

}  // namespace vantorel
