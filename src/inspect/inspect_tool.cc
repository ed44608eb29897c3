// The run of vantorel-inspect: options, configuration, verification, the
// checks built on it, the report, extraction.
#include "inspect/inspect_tool.h"

#include <optional>
#include <string>

#include "config/config_reader.h"
#include "image/progress.h"
#include "inspect/explanation.h"
#include "inspect/extract.h"
#include "inspect/inspect_arguments.h"
#include "inspect/report.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vantorel {
namespace {

Diagnostic RunFailure(const std::wstring& reason) {
  return Error(kInspectFailed, Utf8ForDisplay(reason));
}

class FileSource : public ByteSource {
 public:
  FileSource(const InputFile& file, uint64_t size) : file_(file), size_(size) {}
  std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) override {
    return file_.ReadAt(offset, buffer, capacity);
  }
  uint64_t Size() const override { return size_; }

 private:
  const InputFile& file_;
  uint64_t size_;
};

// The section name of each partition of the configuration.
std::vector<std::string> SectionNames(const ConfigurationReading& reading, std::size_t count) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    const SectionReading* section = reading.SectionOf(i);
    names.push_back(section ? Utf8ForDisplay(section->name) : std::string());
  }
  return names;
}

struct Inspected {
  ImageReport report;
  std::optional<FileIdentity> identity;  // of the image file
};

// Inspects the image once; the failure says why it cannot be read. Only a
// regular file is opened, so that a pipe never holds the run up.
Outcome Inspect(const InspectCommand& command, const std::string& imagePath, InspectOptions options,
                std::optional<Inspected>& inspected) {
  const std::optional<InputFile> file =
      SizeOfPath(imagePath) ? std::optional<InputFile>(std::in_place, imagePath) : std::nullopt;
  const auto size = file && file->IsOpen() ? file->Size() : std::nullopt;
  if (!size) return RunFailure(L"cannot read " + command.image + L" as a file");
  FileSource source(*file, *size);
  Progress progress;
  options.progress = &progress;
  inspected.emplace(Inspected{InspectImage(source, options), file->Identity()});
  return {};
}

// Refuses targets that exist (unless forced), a folder at a target, and,
// always, a target that is the image itself: putting a partition in its
// place would destroy it.
Outcome CheckTargets(const InspectCommand& command, const std::string& directory,
                     const Inspected& image) {
  for (std::size_t i = 0; i < image.report.partitionCount; ++i) {
    const std::string target = ExtractedFileName(directory, i);
    const auto existing = EntryAt(target);
    if (!existing) continue;
    if (existing->identity == image.identity) {
      return RunFailure(WideFromUtf8(target) + L" is the image being read; nothing extracted");
    }
    if (existing->isFolder) {
      return RunFailure(WideFromUtf8(target) + L" is a folder; nothing extracted");
    }
    if (!command.force) {
      return RunFailure(WideFromUtf8(target) + L" exists; nothing extracted (--force overwrites)");
    }
  }
  return {};
}

Outcome Extract(const InspectCommand& command, const std::string& imagePath, unsigned workers,
                const Inspected& image) {
  const auto directory = NarrowText(command.extractDirectory);
  if (!directory || !EnsureDirectory(*directory)) {
    return RunFailure(L"cannot create folder " + command.extractDirectory);
  }
  if (Outcome outcome = CheckTargets(command, *directory, image); !outcome.ok()) return outcome;
  DirectorySink sink(*directory);
  std::optional<Inspected> again;
  if (Outcome outcome = Inspect(command, imagePath, {.workers = workers, .sink = &sink}, again);
      !outcome.ok()) {
    return outcome;
  }
  if (const auto& problem = again->report.problem) {
    return RunFailure(L"extraction failed, nothing extracted: " + WideFromUtf8(problem->what) +
                      L" (" + WideFromUtf8(problem->found) + L")");
  }
  if (const auto failed = sink.PutInPlace()) {
    return RunFailure(L"extraction failed: cannot put " + WideFromUtf8(*failed) +
                      L" in place; the partitions before it are extracted");
  }
  if (command.json) return {};
  for (std::size_t i = 0; i < image.report.partitionCount; ++i) {
    WriteUtf8Text("extracted " + Utf8ForDisplay(command.extractDirectory) + "/partition-" +
                  std::to_string(i) + ".bin\n");
  }
  return {};
}

// A configuration without an image: what it makes, before anything is packed.
int Explain(const InspectCommand& command) {
  const Explanation explanation = ExplainConfiguration(command.config, command.strict);
  WriteUtf8Text(command.json ? FormatExplanationJson(explanation)
                             : FormatExplanationText(explanation));
  if (explanation.failure) {
    Diagnostic failure = *explanation.failure;
    failure.status = kInspectFailed;
    return FailInspect(failure);
  }
  return explanation.Passed() ? kInspectPassed : kInspectFailed;
}

// The configuration to compare an image with, read as the packer reads it.
Outcome ReadComparedConfiguration(const InspectCommand& command, PartitionList& list,
                                  ConfigurationReading& reading) {
  Outcome outcome = ReadConfiguration(command.config, list, reading, ReaderLines::kSilent);
  if (!outcome.ok()) outcome.failure().status = kInspectMisuse;
  return outcome;
}

// The run, which may throw when memory, file handles or the system fail.
int RunInspectSteps(int argc, const wchar_t* const* argv) {
  InspectCommand command;
  if (const Outcome parsed = ParseInspectArguments(argc, argv, command); !parsed.ok()) {
    const int status = FailInspect(parsed.failure());
    WriteStandardError(kInspectUsage);
    return status;
  }
  if (command.help) {
    WriteUtf8Text(kInspectUsage);
    return kInspectPassed;
  }
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) return FailInspect(Error(kInspectMisuse, Utf8ForDisplay(workers.refusal)));
  if (command.image.empty()) return Explain(command);
  PartitionList list;
  ConfigurationReading reading;
  if (!command.config.empty()) {
    const Outcome outcome = ReadComparedConfiguration(command, list, reading);
    if (!outcome.ok()) return FailInspect(outcome.failure());
  }
  const auto imagePath = NarrowText(command.image);
  if (!imagePath) {
    return FailInspect(RunFailure(
        L"image path " + NarrowingFailureText(PathNarrowing::kUnusableCharacter) + command.image));
  }
  std::optional<Inspected> image;
  const Outcome inspected = Inspect(
      command, *imagePath, {.workers = *workers.workers, .digestOriginals = !list.empty()}, image);
  if (!inspected.ok()) return FailInspect(inspected.failure());

  InspectionSummary summary{Utf8ForDisplay(command.image), image->report, {}, {}, command.strict};
  if (summary.report.Sound()) {
    summary.warnings = CheckFlashLayout(summary.report.partitions);
    if (!command.config.empty()) {
      summary.config = ConfigComparison{Utf8ForDisplay(command.config),
                                        CompareWithConfiguration(summary.report, list),
                                        SectionNames(reading, list.size()), reading.warnings};
      for (Diagnostic& warning : CheckPartitions(list, reading)) {
        summary.config->warnings.push_back(std::move(warning));
      }
    }
  }
  WriteUtf8Text(command.json ? FormatReportJson(summary) : FormatReportText(summary));
  if (!summary.report.Sound()) return kInspectFailed;
  const int status = summary.Passed() ? kInspectPassed : kInspectFailed;
  if (command.extractDirectory.empty()) return status;
  const Outcome extracted = Extract(command, *imagePath, *workers.workers, *image);
  if (!extracted.ok()) return FailInspect(extracted.failure());
  return status;
}

}  // namespace

int RunInspect(int argc, const wchar_t* const* argv) noexcept {
  try {
    return RunInspectSteps(argc, argv);
  } catch (...) {
    return FailInspectOnException();
  }
}

}  // namespace vantorel
