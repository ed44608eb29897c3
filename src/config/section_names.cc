// Section names and their likely misspellings.
#include "config/section_names.h"

#include <algorithm>
#include <vector>

namespace vantorel {
namespace {

constexpr std::wstring_view kSpecialNames[] = {kGeneralSettingName, L"Bootloader",
                                               L"Ext-Bootloader"};
constexpr std::size_t kMostEdits = 2;

wchar_t Folded(wchar_t c) { return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + 32) : c; }

// Letters written, left out, changed or swapped with their neighbour that
// turn one name into the other, case aside; anything above kMostEdits
// counts as kMostEdits + 1.
std::size_t Edits(std::wstring_view a, std::wstring_view b) {
  const std::size_t gap = a.size() > b.size() ? a.size() - b.size() : b.size() - a.size();
  if (gap > kMostEdits) return kMostEdits + 1;
  // Three rows of the distance table: two back, one back, this one.
  std::vector<std::size_t> before(b.size() + 1), previous(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const bool same = Folded(a[i - 1]) == Folded(b[j - 1]);
      row[j] = std::min({previous[j] + 1, row[j - 1] + 1, previous[j - 1] + (same ? 0 : 1)});
      if (i > 1 && j > 1 && Folded(a[i - 1]) == Folded(b[j - 2]) &&
          Folded(a[i - 2]) == Folded(b[j - 1])) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    before.swap(previous);
    previous.swap(row);
  }
  return std::min(previous[b.size()], kMostEdits + 1);
}

}  // namespace

bool IsPassedOverName(std::wstring_view name) {
  return name == L"Bootloader" || name == L"Ext-Bootloader" ||
         name.find(L"Flash") != std::wstring_view::npos;
}

std::optional<std::wstring_view> SpecialNameMeant(std::wstring_view name) {
  for (const std::wstring_view special : kSpecialNames) {
    if (name != special && Edits(name, special) <= kMostEdits) return special;
  }
  return std::nullopt;
}

}  // namespace vantorel
