// The run of vantorel-inspect: options, configuration, verification, the
// checks built on it, the report, extraction.
#include "programs/vantorel-inspect/run.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <span>
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

// The failed read that ended a read of the image.
Diagnostic ReadFailureOf(const std::wstring& imageName, const Diagnostic& failure) {
  return IoError("cannot read " + Utf8ForDisplay(imageName) + " at offset " +
                     std::to_string(failure.where.offset.value_or(0)),
                 failure.systemError);
}

// Reads and verifies the image file once; the failure says why it cannot be read. Only a
// regular file is opened, so that a pipe never holds the run up.
Outcome ReadImageFile(const std::wstring& imageName, const std::string& imagePath,
                      ReadImageOptions options, std::optional<ImageFileReport>& fileReport) {
  const bool regular = SizeOfPath(imagePath).has_value();
  const int lookupError = regular ? 0 : LastSystemError();
  const std::optional<InputFile> file =
      regular ? std::optional<InputFile>(std::in_place, imagePath) : std::nullopt;
  if (file && !file->IsOpen()) {
    return IoError("cannot open " + Utf8ForDisplay(imageName), SystemErrorText(file->OpenError()));
  }
  const auto size = file ? file->Size() : std::nullopt;
  // A missing image or one that is no regular file: the image is what
  // fails, as for one that is not sound; the system says why one is missing.
  if (!size) {
    Diagnostic failure =
        Failure(FailureKind::kImageNotSound, L"cannot read " + imageName + L" as a file");
    if (!regular && !EntryAt(imagePath)) failure.Because(SystemErrorText(lookupError));
    return failure;
  }
  FileSource source(*file, *size);
  Progress progress(TerminalStatusDisplay());
  options.progress = &progress;
  fileReport.emplace(ImageFileReport{ReadImage(source, options), file->Identity()});
  if (fileReport->report.FailedIo()) {
    return ReadFailureOf(imageName, *fileReport->report.ioFailure);
  }
  return {};
}

// How a mode ended: its failures in the order they came, the last one
// giving the exit status, and whether its report is on standard output
// already. A finding against the image (not sound, a mismatch, images that
// differ) is a failure too; its reason is empty where the report says
// everything.
struct ModeResult {
  std::vector<Diagnostic> failures;
  bool reported = false;

  ModeResult() = default;
  ModeResult(Outcome outcome, bool reportedAlready = false) : reported(reportedAlready) {  // NOLINT
    Add(std::move(outcome));
  }
  void Add(Outcome outcome) {
    if (!outcome.ok()) failures.push_back(std::move(outcome.failure()));
  }
};

// --diff: the same images pass, images that differ are findings, and two
// images to compare are what the option asks for: one that cannot be read
// or is not sound is misuse of it, as a missing one is.
ModeResult Diff(const InspectCommand& command, unsigned workers) {
  const ReadImageOptions options{.workers = workers, .digestOriginals = true};
  std::optional<ImageFileReport> images[2];
  const std::wstring* names[2] = {&command.diffImage, &command.image};  // old, new
  for (std::size_t i = 0; i < 2; ++i) {
    const auto path = NarrowText(*names[i]);
    Outcome outcome = path
                          ? ReadImageFile(*names[i], *path, options, images[i])
                          : Failure(FailureKind::kUsage, L"cannot use the image path " + *names[i]);
    if (outcome.ok() && images[i]->report.problem) {
      const Problem& problem = *images[i]->report.problem;
      outcome = Failure(FailureKind::kImageNotSound,
                        *names[i] + L" is not sound: " + WideFromUtf8(problem.what) + L" at byte " +
                            std::to_wstring(problem.offset) + L"; nothing compared");
    }
    if (!outcome.ok()) {
      outcome.failure().kind = FailureKind::kUsage;
      return {std::move(outcome)};
    }
  }
  ImageDiff diff = DiffImages(images[0]->report, images[1]->report);
  diff.beforePath = Utf8ForDisplay(command.diffImage);
  diff.afterPath = Utf8ForDisplay(command.image);
  WriteUtf8Text(command.json ? FormatDiffJson(diff) : FormatDiffText(diff));
  if (Outcome written = CheckStandardOutput(); !written.ok()) return {std::move(written), true};
  if (diff.Same()) return {{}, true};
  return {Error(FailureKind::kFindings, ""), true};
}

// A configuration without an image: what it makes, before anything is
// packed. Explained, a configuration that does not read is the finding.
ModeResult Explain(const InspectCommand& command, unsigned) {
  const Explanation explanation = ExplainConfiguration(command.config, command.strict);
  WriteUtf8Text(command.json ? FormatExplanationJson(explanation)
                             : FormatExplanationText(explanation));
  if (Outcome written = CheckStandardOutput(); !written.ok()) return {std::move(written), true};
  if (explanation.failure) {
    Diagnostic failure = *explanation.failure;
    failure.kind = FailureKind::kFindings;
    return {failure, true};
  }
  if (explanation.Passed()) return {{}, true};
  return {
      Error(FailureKind::kFindings, explanation.Verdict()).At({.file = explanation.reading.file}),
      true};
}

// The configuration to compare an image with, read as the packer reads it.
Outcome ReadComparedConfiguration(const InspectCommand& command, PartitionList& list,
                                  ConfigurationReading& reading) {
  return ReadConfiguration(command.config, list, reading);
}

// Whether a file read as an image starts as a configuration does: a
// byte-order mark, or text whose first character is a section's "[".
bool LooksLikeConfiguration(const std::string& path) {
  InputFile file(path);
  std::array<uint8_t, 512> head{};
  const auto length = file.IsOpen() ? file.Read(head.data(), head.size()) : std::nullopt;
  if (!length || *length < 2) return false;
  const std::span<const uint8_t> bytes(head.data(), *length);
  if ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF) ||
      (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)) {
    return true;
  }
  if (std::find(bytes.begin(), bytes.end(), 0) != bytes.end()) return false;
  const auto first =
      std::find_if(bytes.begin(), bytes.end(), [](uint8_t b) { return !std::isspace(b); });
  return first != bytes.end() && *first == '[';
}

// Why an image is not sound, in one line; a configuration given where the
// image belongs gets the command that explains it.
Diagnostic VerdictOf(const InspectReport& summary, const std::string& imagePath,
                     const std::wstring& imageName) {
  if (!summary.report.hasMagic && LooksLikeConfiguration(imagePath)) {
    return Failure(FailureKind::kImageNotSound,
                   imageName +
                       L" looks like a configuration file; to explain it, run "
                       L"vantorel-inspect --config " +
                       imageName);
  }
  return Error(summary.report.Sound() ? FailureKind::kFindings : FailureKind::kImageNotSound,
               Verdict(summary));
}

// The JSON report comes last, with the failure of a flash file or an
// extraction, where the text report came as soon as the image was read.
ModeResult Reported(const InspectCommand& command, const InspectReport& summary,
                    ModeResult result) {
  if (!command.json) return result;
  // The verdict, when there is one, is the report's own.
  const std::size_t verdicts = summary.Passed() ? 0 : 1;
  const Diagnostic* failure = result.failures.size() > verdicts ? &result.failures.back() : nullptr;
  WriteUtf8Text(FormatReportJson(summary, failure));
  result.Add(CheckStandardOutput());
  result.reported = true;
  return result;
}

// The checks, the flash file and the extraction the command asks for, with
// an image. The text report comes as soon as the image is read; the JSON one
// last, so that it can tell of a flash file or an extraction that failed.
ModeResult VerifyImage(const InspectCommand& command, unsigned workers) {
  PartitionList list;
  ConfigurationReading reading;
  if (!command.config.empty()) {
    if (Outcome outcome = ReadComparedConfiguration(command, list, reading); !outcome.ok()) {
      return {std::move(outcome)};
    }
  }
  const auto imagePath = NarrowText(command.image);
  if (!imagePath) {
    return {Failure(
        FailureKind::kUsage,
        L"image path " + NarrowingFailureText(PathNarrowing::kUnusableCharacter) + command.image)};
  }
  // Extracted files are written in the read that verifies the image, and
  // kept only when it proves sound.
  std::optional<Extraction> extraction;
  if (!command.extractDirectory.empty()) extraction.emplace(command, *imagePath);
  std::optional<ImageFileReport> image;
  if (Outcome outcome = ReadImageFile(command.image, *imagePath,
                                      {.workers = workers,
                                       .sink = extraction ? &*extraction : nullptr,
                                       .digestOriginals = !list.empty()},
                                      image);
      !outcome.ok()) {
    return {std::move(outcome)};
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
        return {std::move(outcome)};
      }
      for (Diagnostic& warning : CheckPartitions(list, reading)) {
        summary.config->warnings.push_back(std::move(warning));
      }
    }
  }
  if (!command.json) {
    WriteUtf8Text(FormatReportText(summary));
    if (Outcome written = CheckStandardOutput(); !written.ok()) return {std::move(written), true};
  }
  ModeResult result({}, !command.json);
  if (!summary.Passed()) result.Add(VerdictOf(summary, *imagePath, command.image));
  // A flash file and an extraction need a sound image; a failed flash file
  // ends the run.
  if (summary.report.Sound() && !command.flash.file.empty()) {
    Outcome written = WriteFlashFile(command, {*imagePath, image->identity, image->report});
    const bool failed = !written.ok();
    result.Add(std::move(written));
    if (failed) return Reported(command, summary, std::move(result));
  }
  if (summary.report.Sound() && extraction) result.Add(extraction->PutInPlace(image->report));
  return Reported(command, summary, std::move(result));
}

// --help and --version.
ModeResult Answer(const InspectCommand& command, unsigned) {
  WriteUtf8Text(command.help ? std::string(kInspectUsage)
                             : "vantorel-inspect " + std::to_string(kVersionMajor) + "." +
                                   std::to_string(kVersionMinor) + "." +
                                   std::to_string(kVersionPatch) + "\n");
  return {CheckStandardOutput(), true};
}

// What a JSON document of a failed run names.
JsonSubject ImageSubject(const InspectCommand& command) {
  return {{"image", Utf8ForDisplay(command.image)}};
}
JsonSubject DiffSubject(const InspectCommand& command) {
  return {{"old", Utf8ForDisplay(command.diffImage)}, {"new", Utf8ForDisplay(command.image)}};
}
JsonSubject ConfigurationSubject(const InspectCommand& command) {
  return {{"configuration", Utf8ForDisplay(command.config)}};
}

struct Mode {
  bool (*chosen)(const InspectCommand&);
  ModeResult (*run)(const InspectCommand&, unsigned workers);
  JsonSubject (*subject)(const InspectCommand&);
};

// The first mode the command chooses is the run's.
constexpr Mode kModes[] = {
    {[](const InspectCommand& c) { return c.help || c.version; }, Answer, ImageSubject},
    {[](const InspectCommand& c) { return !c.diffImage.empty(); }, Diff, DiffSubject},
    {[](const InspectCommand& c) { return c.image.empty(); }, Explain, ConfigurationSubject},
    {[](const InspectCommand&) { return true; }, VerifyImage, ImageSubject},
};

const Mode& ModeOf(const InspectCommand& command) {
  for (const Mode& mode : kModes) {
    if (mode.chosen(command)) return mode;
  }
  return kModes[std::size(kModes) - 1];
}

// The one way out of a run: every failure said on standard error, in the
// order they came; with --json, a document on standard output whatever
// failed, when the mode printed none; the last failure's exit status.
int EndRun(const InspectCommand& command, const Mode& mode, ModeResult result) {
  for (const Diagnostic& failure : result.failures) {
    if (!failure.reason.empty()) PrintFailure(failure);
  }
  if (result.failures.empty()) return kInspectPassed;
  const Diagnostic& last = result.failures.back();
  if (command.json && !result.reported) {
    WriteUtf8Text(FormatFailureJson(mode.subject(command), last));
  }
  return InspectExitStatus(last.kind);
}

// The run, which may throw when memory, file handles or the system fail.
int RunSteps(int argc, const wchar_t* const* argv) {
  InspectCommand command;
  const Outcome parsed = ParseInspectArguments(argc, argv, command);
  const Mode& mode = ModeOf(command);
  if (!parsed.ok()) {
    const int status = EndRun(command, mode, parsed);
    WriteStandardError(kInspectUsage);
    return status;
  }
  if (mode.run == Answer) return EndRun(command, mode, Answer(command, 0));
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) {
    return EndRun(command, mode,
                  Outcome(Error(FailureKind::kSetting, Utf8ForDisplay(workers.refusal))));
  }
  return EndRun(command, mode, mode.run(command, *workers.workers));
}

}  // namespace

int RunVantorelInspect(int argc, NativeArgv argv) noexcept {
  return RunProgram(argc, argv, RunSteps, FailInspectOnException);
}

}  // namespace vantorel
