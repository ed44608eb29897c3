// The explanation of a configuration.
#include "programs/vantorel-inspect/explanation.h"

#include <algorithm>
#include <cstdio>

#include "config/flash_layout.h"
#include "config/packing_rules.h"
#include "platform/files.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "programs/vantorel-inspect/json.h"

namespace vantorel {
namespace {

// A role's words for people and its name in JSON.
struct RoleNames {
  const char* text;
  const char* json;
};

RoleNames NamesOf(SectionRole role) {
  switch (role) {
    case SectionRole::kPassedOver:
      return {"passed over by its name", "passed over"};
    case SectionRole::kGeneralSetting:
      return {"general settings", "general setting"};
    case SectionRole::kPartition:
      break;
    case SectionRole::kLastSection:
      return {"partition (the last section, whatever its name)", "last section"};
  }
  return {"partition", "partition"};
}

std::string SectionVerdict(const SectionReading& section) {
  if (!section.reached) return "not read: the reading stopped before it";
  std::string verdict = NamesOf(section.role).text;
  if (section.partition) {
    verdict.insert(std::string("partition").size(), " " + std::to_string(*section.partition));
  }
  return verdict;
}

std::string Headroom(const PartitionFile& file) {
  if (!file.size) return "cannot be read: " + file.error;
  const double share =
      file.partitionSize
          ? 100.0 * (double(file.partitionSize) - double(*file.size)) / file.partitionSize
          : 0.0;
  char text[160];
  if (file.Fits()) {
    std::snprintf(text, sizeof text, "%llu bytes of %u, %llu bytes (%.1f%%) to spare",
                  static_cast<unsigned long long>(*file.size), file.partitionSize,
                  static_cast<unsigned long long>(file.partitionSize - *file.size), share);
  } else {
    std::snprintf(text, sizeof text, "%llu bytes of %u, %llu bytes TOO LARGE",
                  static_cast<unsigned long long>(*file.size), file.partitionSize,
                  static_cast<unsigned long long>(*file.size - file.partitionSize));
  }
  return text;
}

struct LayoutRow {
  FlashRange range;
  std::size_t partition;
  std::string section;
};

std::vector<LayoutRow> LayoutByAddress(const Explanation& explanation) {
  std::vector<LayoutRow> rows;
  for (std::size_t i = 0; i < explanation.list.size(); ++i) {
    const PartitionSpec& p = explanation.list[i];
    const SectionReading* section = explanation.reading.SectionOf(i);
    rows.push_back({RangeOf(p.startAddress, p.partitionSize), i,
                    section ? Utf8ForDisplay(section->name) : std::string()});
  }
  std::stable_sort(rows.begin(), rows.end(), [](const LayoutRow& a, const LayoutRow& b) {
    return a.range.start < b.range.start;
  });
  return rows;
}

// What the packing rules see of a partition file, and what the explanation
// shows of it. A path that names no file is opened all the same, so that
// the system says why, as it tells the packer.
PartitionFileFacts LookAtFile(const PartitionSpec& partition, PartitionFile& shown) {
  shown.path = NativePathOf(partition.path);
  shown.partitionSize = partition.partitionSize;
  if (!SizeOfPath(partition.path) && IdentityOfPath(partition.path)) {
    shown.error = "not a regular file";
    return {.opened = true};
  }
  const InputFile file(partition.path);
  const PartitionFileFacts facts = FactsOf(file);
  shown.size = facts.size;
  if (!facts.opened) {
    shown.error = SystemErrorText(facts.openError);
  } else if (!facts.size) {
    shown.error = "not a regular file";
  }
  return facts;
}

// The rules know a partition by its index; the user knows it by its section.
Diagnostic NamedBySection(Diagnostic failure, const ConfigurationReading& reading) {
  if (!failure.where.partition) return failure;
  if (const SectionReading* section = reading.SectionOf(*failure.where.partition)) {
    failure.where.section = Utf8ForDisplay(section->name);
    failure.where.partition.reset();
  }
  return failure;
}

// Flash is erased and written in blocks: the largest power of two that
// divides an address or size, up to the usual 64 KiB block, shows one that
// stands out of line.
constexpr uint32_t kLargestAlignment = 64 * 1024;

uint32_t Alignment(uint32_t value) {
  return value == 0 ? kLargestAlignment : std::min(value & (~value + 1), kLargestAlignment);
}

std::string AlignmentText(uint32_t value) {
  const uint32_t alignment = Alignment(value);
  return alignment >= 1024 ? std::to_string(alignment / 1024) + " KiB"
                           : std::to_string(alignment) + (alignment == 1 ? " byte" : " bytes");
}

std::string KeyText(const KeyReading& key) {
  std::string text = "  " + Utf8ForDisplay(key.key);
  if (key.line == 0) return text + ": missing\n";
  text += " (line " + std::to_string(key.line) + "): \"" + Utf8ForDisplay(key.text) + "\" -> " +
          key.readAs;
  if (key.number) text += ", aligned to " + AlignmentText(*key.number);
  return text + "\n";
}

// The place of a warning or failure, as the first members of its object.
Json WhereJson(const Where& where) {
  return Json::Object()
      .Add("file", where.file)
      .Add("line", where.line ? Json(where.line) : Json())
      .Add("section", where.section.empty() ? Json() : Json(where.section))
      .Add("key", where.key.empty() ? Json() : Json(where.key));
}

Json KeyJson(const KeyReading& key) {
  const bool present = key.line != 0;
  Json json = Json::Object()
                  .Add("key", Utf8ForDisplay(key.key))
                  .Add("line", present ? Json(key.line) : Json())
                  .Add("text", present ? Json(Utf8ForDisplay(key.text)) : Json())
                  .Add("readAs", present ? Json(key.readAs) : Json());
  if (key.number) json.Add("alignment", Alignment(*key.number));
  return json;
}

Json FileJson(const PartitionFile& file) {
  return Json::Object()
      .Add("path", file.path)
      .Add("size", Json::Number(file.size))
      .Add("partitionSize", file.partitionSize)
      .Add("headroom", file.Fits() ? Json(file.partitionSize - *file.size) : Json())
      .Add("fits", file.Fits())
      .Add("error", file.size ? Json() : Json(file.error));
}

Json SectionJson(const Explanation& explanation, const SectionReading& section) {
  Json keys = Json::Array();
  for (const KeyReading& key : section.keys) keys.Push(KeyJson(key));
  Json json = Json::Object()
                  .Add("name", Utf8ForDisplay(section.name))
                  .Add("line", section.line)
                  .Add("role", NamesOf(section.role).json)
                  .Add("read", section.reached)
                  .Add("partition", section.partition ? Json(*section.partition) : Json())
                  .Add("keys", std::move(keys));
  if (section.partition) json.Add("file", FileJson(explanation.files[*section.partition]));
  return json;
}

Json LayoutJson(const LayoutRow& row) {
  return Json::Object()
      .Add("start", row.range.start)
      .Add("end", row.range.end)
      .Add("partition", row.partition)
      .Add("section", row.section);
}

// A warning or the failure: where, then what.
Json FindingJson(const Diagnostic& diagnostic) {
  return WhereJson(diagnostic.where).Add("text", DiagnosticText(diagnostic));
}

}  // namespace

bool Explanation::Passed() const { return Verdict().empty(); }

std::string Explanation::Verdict() const {
  if (failure) return "the configuration does not read";
  if (refusal) return "the packer would refuse it: " + DiagnosticText(*refusal);
  for (std::size_t i = 0; i < files.size(); ++i) {
    const PartitionFile& file = files[i];
    if (!file.size)
      return "partition " + std::to_string(i) + " file " + file.path +
             " cannot be read: " + file.error;
    if (!file.Fits())
      return "partition " + std::to_string(i) + " file " + file.path +
             " is larger than its partition";
  }
  if (strict && !warnings.empty()) return "warnings count as failures (--strict)";
  return "";
}

Explanation ExplainConfiguration(const std::wstring& configFile, bool strict) {
  Explanation explanation;
  explanation.strict = strict;
  Outcome outcome = ReadConfiguration(configFile, explanation.list, explanation.reading);
  explanation.warnings = explanation.reading.warnings;
  // Every partition read has its file, also those read before a failure.
  std::vector<PartitionFileFacts> facts;
  for (const PartitionSpec& partition : explanation.list) {
    facts.push_back(LookAtFile(partition, explanation.files.emplace_back()));
  }
  if (!outcome.ok()) {
    explanation.failure = outcome.failure();
    return explanation;
  }
  if (Outcome rules =
          CheckPackingRules(explanation.list, [&](std::size_t index) { return facts[index]; });
      !rules.ok()) {
    explanation.refusal = NamedBySection(rules.failure(), explanation.reading);
  }
  for (Diagnostic& warning : CheckPartitions(explanation.list, explanation.reading)) {
    explanation.warnings.push_back(std::move(warning));
  }
  return explanation;
}

std::string FormatExplanationText(const Explanation& explanation) {
  const ConfigurationReading& reading = explanation.reading;
  std::string text = "configuration: " + reading.file + "\n";
  for (const SectionReading& section : reading.sections) {
    text += "\n[" + Utf8ForDisplay(section.name) + "] (line " + std::to_string(section.line) +
            "): " + SectionVerdict(section) + "\n";
    for (const KeyReading& key : section.keys) text += KeyText(key);
    if (section.partition) {
      const PartitionFile& file = explanation.files[*section.partition];
      text += "  file " + file.path + ": " + Headroom(file) + "\n";
    }
  }
  if (!explanation.list.empty() && !explanation.failure) {
    text += "\nflash layout by address:\n";
    for (const LayoutRow& row : LayoutByAddress(explanation)) {
      char line[96];
      std::snprintf(
          line, sizeof line, "  0x%08llX-0x%08llX  partition %zu ",
          static_cast<unsigned long long>(row.range.start),
          static_cast<unsigned long long>(row.range.end - (row.range.end > row.range.start)),
          row.partition);
      text += line + ("[" + row.section + "]") +
              (row.range.end == row.range.start ? " (empty)\n" : "\n");
    }
  }
  if (!explanation.warnings.empty()) text += "\n";
  for (const Diagnostic& warning : explanation.warnings) {
    text += "warning: " + DiagnosticText(warning) + "\n";
  }
  text += "\n";
  if (explanation.failure) {
    return text + "configuration does NOT read: " + DiagnosticText(*explanation.failure) + "\n";
  }
  text += "configuration reads: " + std::to_string(explanation.list.size()) + " partition" +
          (explanation.list.size() == 1 ? "" : "s") + ", " +
          std::to_string(explanation.warnings.size()) + " warning" +
          (explanation.warnings.size() == 1 ? "" : "s") + "\n";
  if (!explanation.Passed()) text += explanation.Verdict() + "\n";
  return text;
}

std::string FormatExplanationJson(const Explanation& explanation) {
  const ConfigurationReading& reading = explanation.reading;
  Json sections = Json::Array();
  for (const SectionReading& section : reading.sections) {
    sections.Push(SectionJson(explanation, section));
  }
  Json layout = Json::Array();
  if (!explanation.failure) {
    for (const LayoutRow& row : LayoutByAddress(explanation)) layout.Push(LayoutJson(row));
  }
  Json warnings = Json::Array();
  for (const Diagnostic& warning : explanation.warnings) warnings.Push(FindingJson(warning));
  return Json::Object()
      .Add("configuration", reading.file)
      .Add("reads", !explanation.failure)
      .Add("passed", explanation.Passed())
      .Add("verdict", explanation.Verdict())
      .Add("strict", explanation.strict)
      .Add("sections", std::move(sections))
      .Add("layout", std::move(layout))
      .Add("warnings", std::move(warnings))
      .Add("error", explanation.failure ? FindingJson(*explanation.failure) : Json())
      .Document();
}

}  // namespace vantorel
