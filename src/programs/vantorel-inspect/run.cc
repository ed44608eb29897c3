// The run of vantorel-inspect: options, configuration, verification, the
// checks built on it, the report, extraction.
#include "programs/vantorel-inspect/run.h"

#include <optional>
#include <string>

#include "config/config_reader.h"
#include "image/file_source.h"
#include "machinery/progress.h"
#include "machinery/worker_count.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "platform/version.h"
#include "programs/vantorel-inspect/arguments.h"
#include "programs/vantorel-inspect/explanation.h"
#include "programs/vantorel-inspect/extract.h"
#include "programs/vantorel-inspect/flash_command.h"
#include "programs/vantorel-inspect/image_diff.h"
#include "programs/vantorel-inspect/partition_selection.h"
#include "programs/vantorel-inspect/report.h"

namespace vantorel {
namespace {

// A read or write the system failed: no verdict about the image.
Diagnostic IoError(std::string what, std::string systemText) {
  return Error(FailureKind::kIo, std::move(what)).Because(std::move(systemText));
}

// Everything printed so far must have arrived.
Outcome CheckStandardOutput() {
  if (const auto failure = StandardOutputFailure()) {
    return IoError("cannot write to standard output", *failure);
  }
  return {};
}

// The section name of each partition of the configuration.
std::vector<std::string> SectionNames(const ConfigurationReading& reading, std::size_t count) {
  std::vector<std::string> names;
  for (std::size_t i = 0; i < count; ++i) {
    const SectionReading* section = reading.SectionOf(i);
    names.push_back(section ? Utf8ForDisplay(section->name) : std::string());
  }
  return names;
}

struct ImageFileReport {
  ImageReport report;
  std::optional<FileIdentity> identity;  // of the image file
};

// The failed read of the image, or write of an extracted file, that ended a
// read of the image.
Diagnostic IoErrorOf(const InspectCommand& command, const std::wstring& imageName,
                     const Problem& problem) {
  if (problem.kind == ProblemKind::kReadError) {
    return IoError(
        "cannot read " + Utf8ForDisplay(imageName) + " at offset " + std::to_string(problem.offset),
        problem.systemText);
  }
  return IoError("extraction failed, nothing extracted: cannot write the file of " +
                     problem.what.substr(0, problem.what.find(" extraction")) + " in " +
                     Utf8ForDisplay(command.extractDirectory),
                 problem.systemText);
}

// Reads and verifies the image file once; the failure says why it cannot be read. Only a
// regular file is opened, so that a pipe never holds the run up.
Outcome ReadImageFile(const InspectCommand& command, const std::wstring& imageName,
                      const std::string& imagePath, ReadImageOptions options,
                      std::optional<ImageFileReport>& fileReport) {
  const std::optional<InputFile> file =
      SizeOfPath(imagePath) ? std::optional<InputFile>(std::in_place, imagePath) : std::nullopt;
  if (file && !file->IsOpen()) {
    return IoError("cannot open " + Utf8ForDisplay(imageName), SystemErrorText(file->OpenError()));
  }
  const auto size = file ? file->Size() : std::nullopt;
  // A missing image or one that is no regular file: the image is what
  // fails, as for one that is not sound.
  if (!size)
    return Failure(FailureKind::kImageNotSound, L"cannot read " + imageName + L" as a file");
  FileSource source(*file, *size);
  Progress progress;
  options.progress = &progress;
  fileReport.emplace(ImageFileReport{ReadImage(source, options), file->Identity()});
  if (fileReport->report.FailedIo()) {
    return IoErrorOf(command, imageName, *fileReport->report.problem);
  }
  return {};
}

// Refuses targets that exist (unless forced), a folder at a target, and,
// always, a target that is the image itself: putting a partition in its
// place would destroy it.
Outcome CheckTargets(const InspectCommand& command, const std::string& directory,
                     const ImageFileReport& image) {
  for (const std::size_t i : ExtractedPartitions(command, image.report)) {
    const std::string target = ExtractedFileName(directory, i);
    const auto existing = EntryAt(target);
    if (!existing) continue;
    if (existing->identity == image.identity) {
      return Failure(FailureKind::kOutput,
                     WideFromUtf8(target) + L" is the image being read; nothing extracted");
    }
    if (existing->isFolder) {
      return Failure(FailureKind::kOutput,
                     WideFromUtf8(target) + L" is a folder; nothing extracted");
    }
    if (!command.force) {
      return Failure(FailureKind::kOutput,
                     WideFromUtf8(target) + L" exists; nothing extracted (--force overwrites)");
    }
  }
  return {};
}

Outcome Extract(const InspectCommand& command, const std::string& imagePath, unsigned workers,
                const ImageFileReport& image) {
  const auto directory = NarrowText(command.extractDirectory);
  if (!directory) {
    return Failure(FailureKind::kOutput, L"cannot create folder " + command.extractDirectory);
  }
  ExtractionFolder folder(*directory);
  if (!folder.FailureText().empty()) {
    return Failure(FailureKind::kOutput, L"cannot create folder " + command.extractDirectory)
        .Because(folder.FailureText());
  }
  if (const auto missing = MissingPartition(command.partitions, image.report)) {
    return Failure(FailureKind::kOutput, L"the image has no partition " +
                                             std::to_wstring(*missing) + L"; nothing extracted");
  }
  if (Outcome outcome = CheckTargets(command, *directory, image); !outcome.ok()) return outcome;
  DirectorySink directorySink(*directory);
  SelectedPartitionsSink sink(directorySink, command.partitions);
  std::optional<ImageFileReport> again;
  if (Outcome outcome = ReadImageFile(command, command.image, imagePath,
                                      {.workers = workers, .sink = &sink}, again);
      !outcome.ok()) {
    return outcome;
  }
  if (const auto& problem = again->report.problem) {
    return Failure(FailureKind::kImageNotSound, L"extraction failed, nothing extracted: " +
                                                    WideFromUtf8(problem->what) + L" (" +
                                                    WideFromUtf8(problem->found) + L")");
  }
  // The lines go out before the files are kept, so that a run that loses
  // them leaves the folder as it was.
  const auto announce = [&command, &image] {
    if (command.json) return true;
    for (const std::size_t i : ExtractedPartitions(command, image.report)) {
      WriteUtf8Text("extracted " + Utf8ForDisplay(command.extractDirectory) + "/partition-" +
                    std::to_string(i) + ".bin\n");
    }
    return !StandardOutputFailure();
  };
  if (Outcome placed = directorySink.PutInPlace(command.force, announce); !placed.ok()) {
    return placed;
  }
  folder.Keep();
  return {};
}

// --diff: exit 0 when the images are the same, 1 when they differ, 2 when
// either cannot be read or is not sound.
int Diff(const InspectCommand& command, unsigned workers) {
  const ReadImageOptions options{.workers = workers, .digestOriginals = true};
  std::optional<ImageFileReport> images[2];
  const std::wstring* names[2] = {&command.image, &command.diffImage};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto path = NarrowText(*names[i]);
    Outcome outcome = path
                          ? ReadImageFile(command, *names[i], *path, options, images[i])
                          : Failure(FailureKind::kUsage, L"cannot use the image path " + *names[i]);
    if (outcome.ok() && images[i]->report.problem) {
      const Problem& problem = *images[i]->report.problem;
      outcome = Failure(FailureKind::kImageNotSound,
                        *names[i] + L" is not sound: " + WideFromUtf8(problem.what) + L" at byte " +
                            std::to_wstring(problem.offset) + L"; nothing compared");
    }
    // Two images to compare are what the option asks for: one that cannot
    // be read or is not sound is misuse of it, as a missing one is.
    if (!outcome.ok()) {
      outcome.failure().kind = FailureKind::kUsage;
      return FailInspect(outcome.failure());
    }
  }
  ImageDiff diff = DiffImages(images[0]->report, images[1]->report);
  diff.beforePath = Utf8ForDisplay(command.image);
  diff.afterPath = Utf8ForDisplay(command.diffImage);
  WriteUtf8Text(command.json ? FormatDiffJson(diff) : FormatDiffText(diff));
  if (const Outcome written = CheckStandardOutput(); !written.ok()) {
    return FailInspect(written.failure());
  }
  return diff.Same() ? kInspectPassed : kInspectFailed;
}

// A configuration without an image: what it makes, before anything is packed.
int Explain(const InspectCommand& command) {
  const Explanation explanation = ExplainConfiguration(command.config, command.strict);
  WriteUtf8Text(command.json ? FormatExplanationJson(explanation)
                             : FormatExplanationText(explanation));
  if (const Outcome written = CheckStandardOutput(); !written.ok()) {
    return FailInspect(written.failure());
  }
  if (explanation.failure) {
    // Explained, a configuration that does not read is the finding.
    Diagnostic failure = *explanation.failure;
    failure.kind = FailureKind::kFindings;
    return FailInspect(failure);
  }
  if (explanation.Passed()) return kInspectPassed;
  return FailInspect(
      Error(FailureKind::kFindings, explanation.Verdict()).At({.file = explanation.reading.file}));
}

// The configuration to compare an image with, read as the packer reads it.
Outcome ReadComparedConfiguration(const InspectCommand& command, PartitionList& list,
                                  ConfigurationReading& reading) {
  return ReadConfiguration(command.config, list, reading, ReaderLines::kSilent);
}

// The checks and extraction the command asks for, with an image; `status`
// gets the verdict's exit status, `reported` whether the report was printed.
Outcome InspectAsAsked(const InspectCommand& command, unsigned workers, int& status,
                       bool& reported) {
  PartitionList list;
  ConfigurationReading reading;
  if (!command.config.empty()) {
    if (Outcome outcome = ReadComparedConfiguration(command, list, reading); !outcome.ok()) {
      return outcome;
    }
  }
  const auto imagePath = NarrowText(command.image);
  if (!imagePath) {
    return Failure(
        FailureKind::kUsage,
        L"image path " + NarrowingFailureText(PathNarrowing::kUnusableCharacter) + command.image);
  }
  std::optional<ImageFileReport> image;
  if (Outcome outcome =
          ReadImageFile(command, command.image, *imagePath,
                        {.workers = workers, .digestOriginals = !list.empty()}, image);
      !outcome.ok()) {
    return outcome;
  }

  InspectReport summary{Utf8ForDisplay(command.image), image->report, {}, {}, command.strict};
  if (summary.report.Sound()) {
    summary.warnings = CheckFlashLayout(summary.report.partitions);
    if (!command.config.empty()) {
      summary.config = ConfigComparison{
          Utf8ForDisplay(command.config), {}, SectionNames(reading, list.size()), reading.warnings};
      if (Outcome outcome =
              CompareWithConfiguration(summary.report, list, summary.config->findings);
          !outcome.ok()) {
        return outcome;
      }
      for (Diagnostic& warning : CheckPartitions(list, reading)) {
        summary.config->warnings.push_back(std::move(warning));
      }
    }
  }
  reported = true;
  WriteUtf8Text(command.json ? FormatReportJson(summary) : FormatReportText(summary));
  if (Outcome outcome = CheckStandardOutput(); !outcome.ok()) return outcome;
  status = summary.Passed() ? kInspectPassed : kInspectFailed;
  // A verdict against the image is a failure of the run too: said where
  // every failure is said, beside the report.
  if (status != kInspectPassed) {
    static_cast<void>(FailInspect(
        Error(summary.report.Sound() ? FailureKind::kFindings : FailureKind::kImageNotSound,
              Verdict(summary))));
  }
  if (!summary.report.Sound()) return {};
  if (!command.flash.file.empty()) {
    Outcome written = WriteFlashFile(command, {*imagePath, image->identity, image->report});
    if (!written.ok()) return written;
  }
  if (command.extractDirectory.empty()) return {};
  return Extract(command, *imagePath, workers, *image);
}

// The run, which may throw when memory, file handles or the system fail.
int RunSteps(int argc, const wchar_t* const* argv) {
  InspectCommand command;
  if (const Outcome parsed = ParseInspectArguments(argc, argv, command); !parsed.ok()) {
    const int status = FailInspect(parsed.failure());
    WriteStandardError(kInspectUsage);
    return status;
  }
  if (command.help) {
    WriteUtf8Text(kInspectUsage);
    const Outcome written = CheckStandardOutput();
    return written.ok() ? kInspectPassed : FailInspect(written.failure());
  }
  if (command.version) {
    WriteUtf8Text("vantorel-inspect " + std::to_string(kVersionMajor) + "." +
                  std::to_string(kVersionMinor) + "." + std::to_string(kVersionPatch) + "\n");
    const Outcome written = CheckStandardOutput();
    return written.ok() ? kInspectPassed : FailInspect(written.failure());
  }
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers)
    return FailInspect(Error(FailureKind::kSetting, Utf8ForDisplay(workers.refusal)));
  if (!command.diffImage.empty()) return Diff(command, *workers.workers);
  if (command.image.empty()) return Explain(command);
  int status = kInspectPassed;
  bool reported = false;
  const Outcome outcome = InspectAsAsked(command, *workers.workers, status, reported);
  if (outcome.ok()) return status;
  // JSON readers get an I/O error where they look for the report.
  if (command.json && !reported && outcome.kind() == FailureKind::kIo) {
    WriteUtf8Text(
        FormatIoErrorJson(Utf8ForDisplay(command.image), DiagnosticText(outcome.failure())));
  }
  return FailInspect(outcome.failure());
}

}  // namespace

int RunVantorelInspect(int argc, NativeArgv argv) noexcept {
  return RunProgram(argc, argv, RunSteps, FailInspectOnException);
}

}  // namespace vantorel
