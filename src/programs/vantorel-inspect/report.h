// The inspection report as text for people and as JSON (always valid UTF-8)
// for build pipelines: the image's fields, its verdict and first problem,
// the flash layout's warnings and, when asked, the comparison with a
// configuration.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/diagnostic.h"
#include "image/image_reader.h"
#include "programs/vantorel-inspect/config_check.h"
#include "programs/vantorel-inspect/layout.h"

namespace vantorel {

struct ConfigComparison {
  std::string configPath;  // UTF-8
  std::vector<ConfigFinding> findings;
  std::vector<std::string> sections;  // UTF-8: the section of each configured partition
  Warnings warnings;  // what the configuration says that is probably meant otherwise
};

// Everything vantorel-inspect reports on one image: the reader's findings
// and the checks built on them.
struct InspectReport {
  std::string imagePath;  // UTF-8
  ImageReport report;
  std::vector<LayoutWarning> warnings;  // of a sound image
  std::optional<ConfigComparison> config;
  bool strict = false;  // warnings (the layout's and the configuration's) count as failures

  // What vantorel-inspect's exit status says: sound, matching the
  // configuration if one was given, and without warnings under --strict.
  bool Passed() const;
};

// Both print nothing and cannot fail.
std::string FormatReportText(const InspectReport& summary);
// Why the summary does not pass, in one line: the first problem, the
// mismatches or the warnings under --strict; empty when it passes.
std::string Verdict(const InspectReport& summary);
// With `failure`, the report of a run that failed after the image was read
// (a flash file or an extraction): "passed" false and an "error" member.
std::string FormatReportJson(const InspectReport& summary, const Diagnostic* failure = nullptr);

// What the run was about, by name ("image", "old", "configuration"), and
// the file each names.
using JsonSubject = std::vector<std::pair<std::string, std::string>>;
// The JSON of a run that failed before its report: what it was about, and
// the error (its kind and reason), no verdict.
std::string FormatFailureJson(const JsonSubject& subject, const Diagnostic& failure);

}  // namespace vantorel
