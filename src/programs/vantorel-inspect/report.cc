// Rendering of inspection reports: a table for people, JSON (always valid
// UTF-8) for build pipelines.
#include "programs/vantorel-inspect/report.h"

#include "common/hex.h"
#include "platform/utf8.h"
#include "programs/vantorel-inspect/json.h"
#include "programs/vantorel-inspect/printed.h"

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

Json JsonDigest(const std::optional<Sha1Digest>& digest) {
  return digest ? Json(HexDigits(*digest)) : Json();
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
  // The region's digests, which need no decoding, beside a problem in its
  // contents; a digest that does not match is the problem itself.
  if (problem.partition && *problem.partition < report.partitions.size()) {
    const PartitionReport& p = report.partitions[*problem.partition];
    if (p.storedDigest && p.computedDigest && p.digest == DigestStatus::kOk) {
      text += "  region digest: " + HexDigits(*p.storedDigest) + " stored and computed (ok)\n";
    } else if (p.storedDigest && p.computedDigest && problem.offset != p.entry.digestOffset) {
      text += "  region digest: " + HexDigits(*p.storedDigest) + " stored, " +
              HexDigits(*p.computedDigest) + " computed (BAD)\n";
    }
  }
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

Json PartitionJson(const PartitionReport& p, const std::optional<ConfigComparison>& config) {
  Json json = Json::Object()
                  .Add("index", p.index)
                  .Add("startAddress", p.entry.startAddress)
                  .Add("partitionSize", p.entry.partitionSize)
                  .Add("dataOffset", p.entry.dataOffset)
                  .Add("dataLength", p.entry.dataLength)
                  .Add("compressed", p.entry.isCompressed != 0)
                  .Add("originalSize", Json::Number(p.originalSize))
                  .Add("digest", DigestStatusText(p.digest))
                  .Add("storedDigest", JsonDigest(p.storedDigest))
                  .Add("computedDigest", JsonDigest(p.computedDigest));
  // The partition's section in the configuration, when one was given.
  if (config && p.index < config->sections.size()) json.Add("section", config->sections[p.index]);
  return json;
}

Json WarningsJson(const std::vector<LayoutWarning>& warnings) {
  Json json = Json::Array();
  for (const LayoutWarning& w : warnings) {
    Json partitions = Json::Array();
    for (const std::size_t index : w.partitions) partitions.Push(index);
    json.Push(Json::Object()
                  .Add("kind", w.kind)
                  .Add("partitions", std::move(partitions))
                  .Add("text", w.text));
  }
  return json;
}

Json FindingJson(const ConfigFinding& f, const ConfigComparison& config) {
  const bool named = f.partition && *f.partition < config.sections.size();
  return Json::Object()
      .Add("partition", f.partition ? Json(*f.partition) : Json())
      .Add("section", named ? Json(config.sections[*f.partition]) : Json())
      .Add("field", f.field)
      .Add("configured", f.configured)
      .Add("image", f.image);
}

Json ConfigJson(const std::optional<ConfigComparison>& config) {
  if (!config) return Json();
  Json findings = Json::Array();
  for (const ConfigFinding& f : config->findings) findings.Push(FindingJson(f, *config));
  Json warnings = Json::Array();
  for (const Diagnostic& warning : config->warnings) {
    warnings.Push(Json::Object().Add("text", DiagnosticText(warning)));
  }
  return Json::Object()
      .Add("file", config->configPath)
      .Add("matches", config->findings.empty())
      .Add("findings", std::move(findings))
      .Add("warnings", std::move(warnings));
}

Json FailureJson(const Diagnostic& failure) {
  return Json::Object()
      .Add("kind", FailureKindName(failure.kind))
      .Add("reason", DiagnosticText(failure));
}

Json ProblemJson(const std::optional<Problem>& problem) {
  if (!problem) return Json();
  return Json::Object()
      .Add("offset", problem->offset)
      .Add("what", problem->what)
      .Add("expected", problem->expected)
      .Add("found", problem->found);
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

std::string FormatReportJson(const InspectReport& summary, const Diagnostic* failure) {
  const ImageReport& report = summary.report;
  Json partitions = Json::Array();
  for (const PartitionReport& p : report.partitions)
    partitions.Push(PartitionJson(p, summary.config));
  Json json = Json::Object()
                  .Add("image", summary.imagePath)
                  .Add("size", report.fileSize)
                  .Add("sound", report.Sound())
                  .Add("passed", summary.Passed() && !failure)
                  .Add("unfinished", !report.hasMagic)
                  .Add("partitionCount", report.partitionCount)
                  .Add("headerDigest", DigestStatusText(report.headerDigest))
                  .Add("partitions", std::move(partitions))
                  .Add("warnings", WarningsJson(summary.warnings))
                  .Add("strict", summary.strict)
                  .Add("config", ConfigJson(summary.config))
                  .Add("problem", ProblemJson(report.problem));
  if (failure) json.Add("error", FailureJson(*failure));
  return json.Document();
}

std::string FormatFailureJson(const JsonSubject& subject, const Diagnostic& failure) {
  Json json = Json::Object();
  for (const auto& [name, file] : subject) json.Add(name, file);
  return json.Add("passed", false).Add("error", FailureJson(failure)).Document();
}

}  // namespace vantorel
