// The run of vantorel-inspect: options, configuration, verification, the
// checks built on it, the report, extraction.
#include "inspect/inspect_tool.h"

#include <optional>
#include <string>

#include "config/config_reader.h"
#include "image/progress.h"
#include "inspect/extract.h"
#include "inspect/file_source.h"
#include "inspect/flash_command.h"
#include "inspect/image_diff.h"
#include "inspect/inspect_arguments.h"
#include "inspect/partition_selection.h"
#include "inspect/report.h"
#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "platform/threads.h"
#include "platform/version.h"

namespace vantorel {
namespace {

void Complain(const std::wstring& text) {
  WriteStandardError(Utf8ForDisplay(L"vantorel-inspect: " + text + L"\n"));
}

struct Inspected {
  ImageReport report;
  std::optional<FileIdentity> identity;  // of the image file
};

// Inspects the image once; nullopt after saying why it cannot be read. Only
// a regular file is opened, so that a pipe never holds the run up.
std::optional<Inspected> Inspect(const std::wstring& imageName, const std::string& imagePath,
                                 InspectOptions options) {
  const std::optional<InputFile> file =
      SizeOfPath(imagePath) ? std::optional<InputFile>(std::in_place, imagePath) : std::nullopt;
  const auto size = file && file->IsOpen() ? file->Size() : std::nullopt;
  if (!size) {
    Complain(L"cannot read " + imageName + L" as a file");
    return std::nullopt;
  }
  FileSource source(*file, *size);
  Progress progress;
  options.progress = &progress;
  return Inspected{InspectImage(source, options), file->Identity()};
}

// Refuses targets that exist (unless forced), a folder at a target, and,
// always, a target that is the image itself: putting a partition in its
// place would destroy it.
bool TargetsMayBeReplaced(const InspectCommand& command, const std::string& directory,
                          const Inspected& image) {
  for (const std::size_t i : ExtractedPartitions(command, image.report)) {
    const std::string target = ExtractedFileName(directory, i);
    const auto existing = EntryAt(target);
    if (!existing) continue;
    if (existing->identity == image.identity) {
      Complain(WideFromUtf8(target) + L" is the image being read; nothing extracted");
      return false;
    }
    if (existing->isFolder) {
      Complain(WideFromUtf8(target) + L" is a folder; nothing extracted");
      return false;
    }
    if (!command.force) {
      Complain(WideFromUtf8(target) + L" exists; nothing extracted (--force overwrites)");
      return false;
    }
  }
  return true;
}

int Extract(const InspectCommand& command, const std::string& imagePath, unsigned workers,
            const Inspected& image) {
  const auto directory = NarrowText(command.extractDirectory);
  if (!directory || !EnsureDirectory(*directory)) {
    Complain(L"cannot create folder " + command.extractDirectory);
    return kInspectFailed;
  }
  if (const auto missing = MissingPartition(command.partitions, image.report)) {
    Complain(L"the image has no partition " + std::to_wstring(*missing) + L"; nothing extracted");
    return kInspectFailed;
  }
  if (!TargetsMayBeReplaced(command, *directory, image)) return kInspectFailed;
  DirectorySink directorySink(*directory);
  SelectedPartitionsSink sink(directorySink, command.partitions);
  const auto again = Inspect(command.image, imagePath, {.workers = workers, .sink = &sink});
  if (!again) return kInspectFailed;
  if (const auto& problem = again->report.problem) {
    Complain(L"extraction failed, nothing extracted: " + WideFromUtf8(problem->what) + L" (" +
             WideFromUtf8(problem->found) + L")");
    return kInspectFailed;
  }
  if (const auto failed = directorySink.PutInPlace()) {
    Complain(L"extraction failed: cannot put " + WideFromUtf8(*failed) +
             L" in place; the partitions before it are extracted");
    return kInspectFailed;
  }
  if (command.json) return kInspectPassed;
  for (const std::size_t i : ExtractedPartitions(command, image.report)) {
    WriteUtf8Text("extracted " + Utf8ForDisplay(command.extractDirectory) + "/partition-" +
                  std::to_string(i) + ".bin\n");
  }
  return kInspectPassed;
}

// --diff: exit 0 when the images are the same, 1 when they differ, 2 when
// either cannot be read or is not sound.
int Diff(const InspectCommand& command, unsigned workers) {
  const InspectOptions options{.workers = workers, .digestOriginals = true};
  std::optional<Inspected> images[2];
  const std::wstring* names[2] = {&command.image, &command.diffImage};
  for (std::size_t i = 0; i < 2; ++i) {
    const auto path = NarrowText(*names[i]);
    if (!path) Complain(L"cannot use the image path " + *names[i]);
    if (path) images[i] = Inspect(*names[i], *path, options);
    if (!images[i]) return kInspectMisuse;
    if (const auto& problem = images[i]->report.problem) {
      Complain(*names[i] + L" is not sound: " + WideFromUtf8(problem->what) + L" at byte " +
               std::to_wstring(problem->offset) + L"; nothing compared");
      return kInspectMisuse;
    }
  }
  ImageDiff diff = DiffImages(images[0]->report, images[1]->report);
  diff.beforePath = Utf8ForDisplay(command.image);
  diff.afterPath = Utf8ForDisplay(command.diffImage);
  WriteUtf8Text(command.json ? FormatDiffJson(diff) : FormatDiffText(diff));
  return diff.Same() ? kInspectPassed : kInspectFailed;
}

// The run, which may throw when memory, file handles or the system fail.
int RunInspectSteps(int argc, const wchar_t* const* argv) {
  InspectCommand command;
  std::wstring error;
  if (!ParseInspectArguments(argc, argv, command, error)) {
    Complain(error);
    WriteStandardError(kInspectUsage);
    return kInspectMisuse;
  }
  if (command.help) {
    WriteUtf8Text(kInspectUsage);
    return kInspectPassed;
  }
  if (command.version) {
    WriteUtf8Text("vantorel-inspect " + std::to_string(kVersionMajor) + "." +
                  std::to_string(kVersionMinor) + "." + std::to_string(kVersionPatch) + "\n");
    return kInspectPassed;
  }
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) {
    Complain(workers.refusal);
    return kInspectMisuse;
  }
  if (!command.diffImage.empty()) return Diff(command, *workers.workers);
  PartitionList list;
  if (!command.config.empty() &&
      ReadConfiguration(command.config, list, ReaderLines::kSilent, &error) != kConfigOk) {
    Complain(error);
    return kInspectMisuse;
  }
  const auto imagePath = NarrowText(command.image);
  if (!imagePath) {
    Complain(L"image path " + NarrowingFailureText(PathNarrowing::kUnusableCharacter) +
             command.image);
    return kInspectFailed;
  }
  const auto image = Inspect(command.image, *imagePath,
                             {.workers = *workers.workers, .digestOriginals = !list.empty()});
  if (!image) return kInspectFailed;

  InspectionSummary summary{Utf8ForDisplay(command.image), image->report, {}, {}, command.strict};
  if (summary.report.Sound()) {
    summary.warnings = CheckFlashLayout(summary.report.partitions);
    if (!command.config.empty()) {
      summary.config = ConfigComparison{
          Utf8ForDisplay(command.config), CompareWithConfiguration(summary.report, list), {}};
      for (const PartitionSpec& spec : list) {
        summary.config->sections.push_back(Utf8ForDisplay(spec.section));
      }
    }
  }
  WriteUtf8Text(command.json ? FormatReportJson(summary) : FormatReportText(summary));
  if (!summary.report.Sound()) return kInspectFailed;
  int status = summary.Passed() ? kInspectPassed : kInspectFailed;
  if (!command.flash.file.empty()) {
    if (const auto failure =
            WriteFlashFile(command, {*imagePath, image->identity, image->report})) {
      Complain(*failure);
      status = kInspectFailed;
    }
  }
  if (command.extractDirectory.empty()) return status;
  const int extracted = Extract(command, *imagePath, *workers.workers, *image);
  return status == kInspectPassed ? extracted : status;
}

}  // namespace

int RunInspect(int argc, const wchar_t* const* argv) noexcept {
  try {
    return RunInspectSteps(argc, argv);
  } catch (...) {
    return FailInspectOnException();
  }
}

int FailInspectOnException() noexcept {
  WriteStandardError("vantorel-inspect: cannot continue: ");
  WriteStandardError(ReasonOfCurrentException());
  WriteStandardError("\n");
  return kInspectFailed;
}

}  // namespace vantorel
