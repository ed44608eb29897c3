// The run of vantorel-inspect: options, configuration, verification, the
// checks built on it, the report, extraction.
#include "inspect/inspect_tool.h"

#include <optional>
#include <string>

#include "config/config_reader.h"
#include "image/progress.h"
#include "inspect/extract.h"
#include "inspect/inspect_arguments.h"
#include "inspect/io_failure.h"
#include "inspect/report.h"
#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace vantorel {
namespace {

void Complain(const std::wstring& text) {
  WriteStandardError(Utf8ForDisplay(L"vantorel-inspect: " + text + L"\n"));
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

// The failed read of the image, or write of an extracted file, that ended an
// inspection.
[[noreturn]] void ThrowIoFailure(const InspectCommand& command, const Problem& problem) {
  if (problem.kind == ProblemKind::kReadError) {
    throw IoFailure{"cannot read " + Utf8ForDisplay(command.image) + " at offset " +
                    std::to_string(problem.offset) + ": " + problem.systemText};
  }
  throw IoFailure{"extraction failed, nothing extracted: cannot write the file of " +
                  problem.what.substr(0, problem.what.find(" extraction")) + " in " +
                  Utf8ForDisplay(command.extractDirectory) + ": " + problem.systemText};
}

// Everything printed so far must have arrived.
void CheckStandardOutput() {
  if (const auto failure = StandardOutputFailure()) {
    throw IoFailure{"cannot write to standard output: " + *failure};
  }
}

struct Inspected {
  ImageReport report;
  std::optional<FileIdentity> identity;  // of the image file
};

// Inspects the image once; nullopt after saying why it cannot be read. Only
// a regular file is opened, so that a pipe never holds the run up.
std::optional<Inspected> Inspect(const InspectCommand& command, const std::string& imagePath,
                                 InspectOptions options) {
  const std::optional<InputFile> file =
      SizeOfPath(imagePath) ? std::optional<InputFile>(std::in_place, imagePath) : std::nullopt;
  if (file && !file->IsOpen()) {
    const std::string reason = LastSystemErrorText();
    throw IoFailure{"cannot open " + Utf8ForDisplay(command.image) + ": " + reason};
  }
  const auto size = file ? file->Size() : std::nullopt;
  if (!size) {
    Complain(L"cannot read " + command.image + L" as a file");
    return std::nullopt;
  }
  FileSource source(*file, *size);
  Progress progress;
  options.progress = &progress;
  Inspected inspected{InspectImage(source, options), file->Identity()};
  if (inspected.report.FailedIo()) ThrowIoFailure(command, *inspected.report.problem);
  return inspected;
}

// Refuses targets that exist (unless forced), a folder at a target, and,
// always, a target that is the image itself: putting a partition in its
// place would destroy it.
bool TargetsMayBeReplaced(const InspectCommand& command, const std::string& directory,
                          const Inspected& image) {
  for (std::size_t i = 0; i < image.report.partitionCount; ++i) {
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
  if (!TargetsMayBeReplaced(command, *directory, image)) return kInspectFailed;
  DirectorySink sink(*directory);
  const auto again = Inspect(command, imagePath, {.workers = workers, .sink = &sink});
  if (!again) return kInspectFailed;
  if (const auto& problem = again->report.problem) {
    Complain(L"extraction failed, nothing extracted: " + WideFromUtf8(problem->what) + L" (" +
             WideFromUtf8(problem->found) + L")");
    return kInspectFailed;
  }
  if (const auto failed = sink.PutInPlace(command.force)) {
    if (failed->targetTaken) {
      Complain(WideFromUtf8(failed->target) +
               L" appeared while the extraction ran; nothing extracted (--force overwrites)");
      return kInspectFailed;
    }
    throw IoFailure{"extraction failed, nothing extracted: cannot " + failed->action + " " +
                    failed->target + ": " + failed->systemText};
  }
  if (command.json) return kInspectPassed;
  for (std::size_t i = 0; i < image.report.partitionCount; ++i) {
    WriteUtf8Text("extracted " + Utf8ForDisplay(command.extractDirectory) + "/partition-" +
                  std::to_string(i) + ".bin\n");
  }
  CheckStandardOutput();
  return kInspectPassed;
}

// The checks and extraction the command asks for; throws IoFailure when a
// read or write fails, with `reported` telling whether the report was
// printed before.
int InspectAsAsked(const InspectCommand& command, bool& reported) {
  std::wstring error;
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) {
    Complain(workers.refusal);
    return kInspectMisuse;
  }
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
  const auto image =
      Inspect(command, *imagePath, {.workers = *workers.workers, .digestOriginals = !list.empty()});
  if (!image) return kInspectFailed;

  InspectionSummary summary{Utf8ForDisplay(command.image), image->report, {}, {}, command.strict};
  if (summary.report.Sound()) {
    summary.warnings = CheckFlashLayout(summary.report.partitions);
    if (!command.config.empty()) {
      summary.config = ConfigComparison{Utf8ForDisplay(command.config),
                                        CompareWithConfiguration(summary.report, list)};
    }
  }
  reported = true;
  WriteUtf8Text(command.json ? FormatReportJson(summary) : FormatReportText(summary));
  CheckStandardOutput();
  if (!summary.report.Sound()) return kInspectFailed;
  const int status = summary.Passed() ? kInspectPassed : kInspectFailed;
  if (command.extractDirectory.empty()) return status;
  const int extracted = Extract(command, *imagePath, *workers.workers, *image);
  return status == kInspectPassed ? extracted : status;
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
  bool reported = false;
  try {
    if (command.help) {
      reported = true;
      WriteUtf8Text(kInspectUsage);
      CheckStandardOutput();
      return kInspectPassed;
    }
    return InspectAsAsked(command, reported);
  } catch (const IoFailure& failure) {
    Complain(WideFromUtf8(failure.text));
    // JSON readers get the error where they look for the report.
    if (command.json && !reported) {
      WriteUtf8Text(FormatIoErrorJson(Utf8ForDisplay(command.image), failure.text));
    }
    return kInspectIoError;
  }
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
