// Rendering of inspection reports: a table for people, JSON (always valid
// UTF-8) for build pipelines.
#include "programs/vantorel-inspect/report.h"

#include "common/hex.h"
#include "common/printed.h"
#include "platform/utf8.h"
#include "programs/vantorel-inspect/json_text.h"

namespace vantorel {
namespace {

const char* DigestStatusText(DigestStatus status) {
  switch (status) {
    case DigestStatus::kOk:
      return "ok";
    case DigestStatus::kBad:
      return "BAD";
    case DigestStatus::kNotChecked:
      break;
  }
  return "unchecked";
}

std::string Ratio(const PartitionReport& p) {
  if (!p.originalSize) return "-";
  if (*p.originalSize == 0) return "-";
  return Printed("%.1f%%", 100.0 * p.entry.dataLength / static_cast<double>(*p.originalSize));
}

std::string JsonDigest(const std::optional<Sha1Digest>& digest) {
  if (!digest) return "null";
  std::string json = "\"";  // appended, not added: GCC 12 warns falsely about "x" + string
  json += HexDigits(*digest);
  return json + '"';
}

// The partition's section in the configuration, when one was given.
std::string SectionJson(const std::optional<ConfigComparison>& config, std::size_t index) {
  if (!config || index >= config->sections.size()) return "";
  return ", \"section\": " + JsonString(config->sections[index]);
}

std::string PartitionName(const ConfigComparison& config, std::optional<std::size_t> index) {
  if (!index) return "";
  std::string name = "partition " + std::to_string(*index) + " ";
  if (*index < config.sections.size()) name += "[" + config.sections[*index] + "] ";
  return name;
}

std::string TableText(const ImageReport& report) {
  std::string text = Printed("\n%-3s %-10s %-10s %10s %10s  %-10s %10s %7s  %s\n", "#", "start",
                             "size", "offset", "length", "kind", "original", "ratio", "digest");
  for (const PartitionReport& p : report.partitions) {
    const std::string original = p.originalSize ? std::to_string(*p.originalSize) : "-";
    text += Printed("%-3zu 0x%08X 0x%08X %10u %10u  %-10s %10s %7s  %s\n", p.index,
                    p.entry.startAddress, p.entry.partitionSize, p.entry.dataOffset,
                    p.entry.dataLength, p.entry.isCompressed ? "compressed" : "plain",
                    original.c_str(), Ratio(p).c_str(), DigestStatusText(p.digest));
  }
  return text;
}

std::string ProblemText(const ImageReport& report) {
  std::string text;
  if (!report.hasMagic) text += "unfinished image: no magic at byte 0\n";
  const Problem& problem = *report.problem;
  text += "problem at byte " + std::to_string(problem.offset) + ": " + problem.what + "\n";
  text += "  expected: " + problem.expected + "\n  found:    " + problem.found + "\n";
  return text;
}

std::string ConfigText(const ConfigComparison& config) {
  std::string text = "\nconfiguration: " + config.configPath + "\n";
  for (const Diagnostic& warning : config.warnings) {
    text += "warning: " + DiagnosticText(warning) + "\n";
  }
  for (const ConfigFinding& f : config.findings) {
    text += "mismatch: " + PartitionName(config, f.partition) + f.field + ": configuration " +
            f.configured + ", image " + f.image + "\n";
  }
  return text + (config.findings.empty() ? "image matches the configuration\n"
                                         : "image does NOT match the configuration\n");
}

std::string JsonNumbers(const std::vector<std::size_t>& numbers) {
  std::string json = "[";
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    json += (i ? ", " : "") + std::to_string(numbers[i]);
  }
  return json + "]";
}

std::string WarningsJson(const std::vector<LayoutWarning>& warnings) {
  std::string json = "[";
  for (std::size_t i = 0; i < warnings.size(); ++i) {
    const LayoutWarning& w = warnings[i];
    json += std::string(i ? "," : "") + "\n    {\"kind\": " + JsonString(w.kind) +
            ", \"partitions\": " + JsonNumbers(w.partitions) + ", \"text\": " + JsonString(w.text) +
            "}";
  }
  return json + (warnings.empty() ? "]" : "\n  ]");
}

std::string ConfigJson(const std::optional<ConfigComparison>& config) {
  if (!config) return "null";
  std::string json = "{\"file\": " + JsonString(config->configPath) +
                     ", \"matches\": " + (config->findings.empty() ? "true" : "false") +
                     ", \"findings\": [";
  for (std::size_t i = 0; i < config->findings.size(); ++i) {
    const ConfigFinding& f = config->findings[i];
    const bool named = f.partition && *f.partition < config->sections.size();
    json += std::string(i ? "," : "") +
            "\n    {\"partition\": " + (f.partition ? std::to_string(*f.partition) : "null") +
            ", \"section\": " + (named ? JsonString(config->sections[*f.partition]) : "null") +
            ", \"field\": " + JsonString(f.field) +
            ", \"configured\": " + JsonString(f.configured) +
            ", \"image\": " + JsonString(f.image) + "}";
  }
  json += config->findings.empty() ? "], \"warnings\": [" : "\n  ], \"warnings\": [";
  for (std::size_t i = 0; i < config->warnings.size(); ++i) {
    json += std::string(i ? "," : "") +
            "\n    {\"text\": " + JsonString(DiagnosticText(config->warnings[i])) + "}";
  }
  return json + (config->warnings.empty() ? "]}" : "\n  ]}");
}

}  // namespace

bool InspectReport::Passed() const {
  const bool warned = !warnings.empty() || (config && !config->warnings.empty());
  return report.Sound() && (!config || config->findings.empty()) && !(strict && warned);
}

std::string Verdict(const InspectReport& summary) {
  if (summary.Passed()) return "";
  const ImageReport& report = summary.report;
  if (!report.Sound()) {
    const Problem& problem = *report.problem;
    return summary.imagePath + " is NOT sound: " + problem.what + " at byte " +
           std::to_string(problem.offset) +
           (problem.expected.empty() ? "" : " (expected " + problem.expected + ")");
  }
  if (summary.config && !summary.config->findings.empty()) {
    const std::size_t count = summary.config->findings.size();
    return summary.imagePath + " does NOT match " + summary.config->configPath + " (" +
           std::to_string(count) + (count == 1 ? " mismatch)" : " mismatches)");
  }
  return summary.imagePath + ": warnings count as failures (--strict)";
}

std::string FormatReportText(const InspectReport& summary) {
  const ImageReport& report = summary.report;
  std::string text =
      "image: " + summary.imagePath + " (" + std::to_string(report.fileSize) + " bytes)\n";
  if (report.hasMagic) {
    text += "magic: " + Hex(kImageMagicBytes) +
            "\npartitions: " + std::to_string(report.partitionCount) + "\n";
    text += std::string("header digest: ") + DigestStatusText(report.headerDigest) + "\n";
  }
  if (!report.partitions.empty()) text += TableText(report);
  if (!summary.warnings.empty()) text += "\n";
  for (const LayoutWarning& w : summary.warnings) text += "warning: " + w.text + "\n";
  if (summary.config) text += ConfigText(*summary.config);
  text += "\n";
  if (!report.Sound()) return text + ProblemText(report) + "image is NOT sound\n";
  text += "image is sound\n";
  if (summary.strict && !summary.warnings.empty()) {
    text += "flash layout warnings count as failures (--strict)\n";
  }
  if (summary.strict && summary.config && !summary.config->warnings.empty()) {
    text += "configuration warnings count as failures (--strict)\n";
  }
  return text;
}

std::string FormatReportJson(const InspectReport& summary) {
  const ImageReport& report = summary.report;
  std::string json = "{\n  \"image\": " + JsonString(summary.imagePath) +
                     ",\n  \"size\": " + std::to_string(report.fileSize) +
                     ",\n  \"sound\": " + (report.Sound() ? "true" : "false") +
                     ",\n  \"passed\": " + (summary.Passed() ? "true" : "false") +
                     ",\n  \"unfinished\": " + (report.hasMagic ? "false" : "true") +
                     ",\n  \"partitionCount\": " + std::to_string(report.partitionCount) +
                     ",\n  \"headerDigest\": " + JsonString(DigestStatusText(report.headerDigest)) +
                     ",\n  \"partitions\": [";
  for (const PartitionReport& p : report.partitions) {
    json += std::string(p.index ? "," : "") + "\n    {\"index\": " + std::to_string(p.index) +
            ", \"startAddress\": " + std::to_string(p.entry.startAddress) +
            ", \"partitionSize\": " + std::to_string(p.entry.partitionSize) +
            ", \"dataOffset\": " + std::to_string(p.entry.dataOffset) +
            ", \"dataLength\": " + std::to_string(p.entry.dataLength) +
            ", \"compressed\": " + (p.entry.isCompressed ? "true" : "false") +
            ", \"originalSize\": " + (p.originalSize ? std::to_string(*p.originalSize) : "null") +
            ", \"digest\": " + JsonString(DigestStatusText(p.digest)) +
            ", \"storedDigest\": " + JsonDigest(p.storedDigest) +
            ", \"computedDigest\": " + JsonDigest(p.computedDigest) +
            SectionJson(summary.config, p.index) + "}";
  }
  json += report.partitions.empty() ? "],\n" : "\n  ],\n";
  json += "  \"warnings\": " + WarningsJson(summary.warnings) + ",\n";
  json += "  \"strict\": " + std::string(summary.strict ? "true" : "false") + ",\n";
  json += "  \"config\": " + ConfigJson(summary.config) + ",\n";
  if (report.problem) {
    const Problem& problem = *report.problem;
    json += "  \"problem\": {\"offset\": " + std::to_string(problem.offset) +
            ", \"what\": " + JsonString(problem.what) +
            ", \"expected\": " + JsonString(problem.expected) +
            ", \"found\": " + JsonString(problem.found) + "}\n";
  } else {
    json += "  \"problem\": null\n";
  }
  return json + "}\n";
}

std::string FormatIoErrorJson(const std::string& imagePath, const std::string& error) {
  return "{\n  \"image\": " + JsonString(imagePath) + ",\n  \"error\": " + JsonString(error) +
         "\n}\n";
}

}  // namespace vantorel
