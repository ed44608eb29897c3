// Arbitrary file bytes through the INI profile reader: the section-name list,
// then the lookups the configuration reader makes for every listed name.
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/ini_profile.h"

namespace {

void CheckTerminated(const wchar_t* buffer, uint32_t capacity, uint32_t count) {
  if (count >= capacity || buffer[count] != 0) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto document = vantorel::IniDocument::Parse({reinterpret_cast<const char*>(data), size});
  for (const uint32_t capacity : {0u, 1u, 2u, 7u, 120u}) {
    std::vector<wchar_t> names(capacity + 1, L'#');
    const uint32_t count = document.SectionNames(names.data(), capacity);
    if (names[capacity] != L'#') __builtin_trap();  // never beyond the buffer
    if (capacity >= 2) CheckTerminated(names.data(), capacity, count);
  }
  wchar_t list[120];
  document.SectionNames(list, 120);
  for (std::size_t at = 0; at < 120 && list[at] != 0;) {
    const std::wstring_view name(list + at);
    for (const wchar_t* key :
         {L"File", L"Start_Address", L"Partition_Size", L"Is_Compressed", L"Base_Directory"}) {
      for (const uint32_t capacity : {1u, 20u, 256u}) {
        std::vector<wchar_t> value(capacity + 1, L'#');
        const uint32_t count = document.String(name, key, value.data(), capacity);
        if (value[capacity] != L'#') __builtin_trap();
        CheckTerminated(value.data(), capacity, count);
      }
    }
    at += name.size() + 1;
  }
  return 0;
}
