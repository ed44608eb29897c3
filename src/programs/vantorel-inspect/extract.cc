// Extraction of partitions into files put in place whole, all or none: the
// folder, the files beside their targets, and the sink that writes them.
#include "programs/vantorel-inspect/extract.h"

#include <functional>
#include <map>
#include <mutex>
#include <vector>

#include "platform/console.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
#include "platform/output_commit.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {
namespace {

// Whatever stands at a target is replaced, never written through; without
// replacing, so that a file that appears at a target is never lost (moving
// aside is --force's own step).
constexpr OutputPolicy kExtractedFile{.replaceAnyEntry = true, .replaceExisting = false};

// One extraction's changes to the folder, undone unless Keep is called: the
// files it put in place are removed, the files it moved aside moved back.
// Interruption undoes them too.
class Placement {
 public:
  ~Placement() {
    if (kept_) return;
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) (*it)->Undo();
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      RenameReplacing(it->savedAs, it->target);
    }
  }

  // Moves what stands at the output's target aside, for the output to take
  // its owner and mode from; true when nothing stood there.
  bool MoveAside(CommittedOutput& output) {
    const std::string& target = output.Target();
    if (!EntryAt(target)) return true;
    const std::string savedAs = TemporaryNameFor(target);
    if (!RenameWithoutReplacing(target, savedAs)) return false;
    saved_.push_back({target, savedAs, std::make_unique<InterruptCleanup>(savedAs, target)});
    output.ReplacesFileAt(savedAs);
    return true;
  }

  bool Place(CommittedOutput& output) {
    if (!output.Commit()) return false;
    placed_.push_back(&output);
    return true;
  }

  // Every file is in place: the saved ones go. An interruption from here on
  // must not undo anything.
  void Keep() {
    kept_ = true;
    for (CommittedOutput* output : placed_) output->Keep();
    for (Saved& saved : saved_) saved.cleanup.reset();
    for (const Saved& saved : saved_) RemoveFile(saved.savedAs);
  }

 private:
  struct Saved {
    std::string target;
    std::string savedAs;
    std::unique_ptr<InterruptCleanup> cleanup;
  };

  std::vector<Saved> saved_;
  std::vector<CommittedOutput*> placed_;
  bool kept_ = false;
};

Diagnostic NothingExtracted(const std::string& action, const std::string& target,
                            std::string systemText) {
  return Error(FailureKind::kIo,
               "extraction failed, nothing extracted: cannot " + action + " " + target)
      .Because(std::move(systemText));
}

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

// Whether the command extracts partition `index`: those it names (with
// --partition), or every one when it names none.
bool Extracted(const InspectCommand& command, std::size_t index) {
  return command.partitions.empty() || command.partitions.contains(index);
}

std::vector<std::size_t> ExtractedPartitions(const InspectCommand& command,
                                             const ImageReport& report) {
  std::vector<std::size_t> indices;
  for (std::size_t i = 0; i < report.partitionCount; ++i) {
    if (Extracted(command, i)) indices.push_back(i);
  }
  return indices;
}

// The lowest partition named that the image does not hold.
std::optional<std::size_t> MissingPartition(const std::set<std::size_t>& named,
                                            const ImageReport& report) {
  for (const std::size_t index : named) {
    if (index >= report.partitionCount) return index;
  }
  return std::nullopt;
}

// The bytes of a partition the command does not extract: the image is still
// read and proven sound whole.
class DroppingSink : public ByteSink {
 public:
  bool Write(const uint8_t*, std::size_t) override { return true; }
};

}  // namespace

// The folder extracted into: made when it is missing, and removed again
// (when nothing else came into it meanwhile) unless the extraction is kept,
// also when the run is interrupted.
class ExtractionFolder {
 public:
  explicit ExtractionFolder(std::string path);
  ~ExtractionFolder();
  ExtractionFolder(const ExtractionFolder&) = delete;
  ExtractionFolder& operator=(const ExtractionFolder&) = delete;

  // Empty when the folder is there; otherwise the system's text of why not.
  const std::string& FailureText() const { return failure_; }
  void Keep();

 private:
  std::string path_;
  bool made_ = false;
  std::unique_ptr<InterruptCleanup> cleanup_;  // of a folder made
  std::string failure_;
};

// Each partition's file, written whole beside its target.
class DirectorySink {
 public:
  explicit DirectorySink(std::string directory) : directory_(std::move(directory)) {}
  // Bytes into a new file for the target; null when none can be made. Safe
  // from several workers at once.
  std::unique_ptr<ByteSink> Begin(std::size_t index);
  void Accept(std::size_t index);
  // Puts every accepted partition in place of its target, all or none;
  // `replace` moves existing targets aside first. Once all are in place,
  // `announce` says so on standard output; when that fails too, or anything
  // before it, the folder holds what it held before.
  Outcome PutInPlace(bool replace, const std::function<bool()>& announce);

 private:
  std::string directory_;
  std::mutex mutex_;
  std::map<std::size_t, std::unique_ptr<CommittedOutput>> begun_;
  std::map<std::size_t, std::unique_ptr<CommittedOutput>> accepted_;
};

ExtractionFolder::ExtractionFolder(std::string path) : path_(std::move(path)) {
  switch (EnsureDirectory(path_)) {
    case FolderCreation::kCreated:
      made_ = true;
      cleanup_ = std::make_unique<InterruptCleanup>(NativePathOf(path_));
      break;
    case FolderCreation::kFailed:
      failure_ = LastSystemErrorText();
      break;
    case FolderCreation::kExisted:
      break;
  }
}

ExtractionFolder::~ExtractionFolder() {
  if (made_) RemoveEmptyFolder(path_);
}

void ExtractionFolder::Keep() {
  made_ = false;
  cleanup_.reset();
}

std::unique_ptr<ByteSink> DirectorySink::Begin(std::size_t index) {
  auto output =
      std::make_unique<CommittedOutput>(ExtractedFileName(directory_, index), kExtractedFile);
  if (!output->IsOpen()) {
    const int error = output->FailedError();
    output.reset();
    SetLastSystemError(error);
    return nullptr;
  }
  auto sink = std::make_unique<FileSink>(output->File());
  const std::lock_guard lock(mutex_);
  begun_[index] = std::move(output);
  return sink;
}

void DirectorySink::Accept(std::size_t index) {
  const std::lock_guard lock(mutex_);
  accepted_[index] = std::move(begun_[index]);
  begun_.erase(index);
}

// Every file is made durable before any target changes; with `replace`,
// every existing target is moved aside before any is replaced, so that a
// target we may not touch (another user's file in a sticky folder) fails
// the extraction while nothing has changed yet.
Outcome DirectorySink::PutInPlace(bool replace, const std::function<bool()>& announce) {
  const std::lock_guard lock(mutex_);
  for (auto& [index, output] : accepted_) {
    if (!output->Sync()) return NothingExtracted("write", output->Target(), output->FailureText());
  }
  Placement placement;
  if (replace) {
    for (auto& [index, output] : accepted_) {
      if (!placement.MoveAside(*output)) {
        std::string reason = LastSystemErrorText();
        return NothingExtracted("move aside", output->Target(), std::move(reason));
      }
    }
  }
  for (auto& [index, output] : accepted_) {
    if (placement.Place(*output)) continue;
    if (output->TargetTaken()) {
      return Failure(FailureKind::kOutput,
                     WideFromUtf8(output->Target()) +
                         L" appeared while the extraction ran; nothing extracted (--force "
                         L"overwrites)");
    }
    const char* action =
        output->FailedStep() == OutputStep::kSyncFolder ? "sync the folder of" : "put in place";
    return NothingExtracted(action, output->Target(), output->FailureText());
  }
  if (!announce()) {
    return Error(FailureKind::kIo, "nothing extracted: cannot write to standard output")
        .Because(StandardOutputFailure().value_or(""));
  }
  placement.Keep();
  return {};
}

Extraction::Extraction(const InspectCommand& command, std::string imagePath)
    : command_(command), imagePath_(std::move(imagePath)) {}

Extraction::~Extraction() = default;

bool Extraction::Prepare(const ImageReport& header) {
  refusal_ = Refusal(header);
  if (!refusal_.ok()) return false;
  files_ = std::make_unique<DirectorySink>(directory_);
  return true;
}

Outcome Extraction::Refusal(const ImageReport& header) {
  const auto directory = NarrowText(command_.extractDirectory);
  if (!directory) {
    return Failure(FailureKind::kOutput, L"cannot create folder " + command_.extractDirectory);
  }
  directory_ = *directory;
  folder_ = std::make_unique<ExtractionFolder>(directory_);
  if (!folder_->FailureText().empty()) {
    return Failure(FailureKind::kOutput, L"cannot create folder " + command_.extractDirectory)
        .Because(folder_->FailureText());
  }
  if (const auto missing = MissingPartition(command_.partitions, header)) {
    return Failure(FailureKind::kOutput, L"the image has no partition " +
                                             std::to_wstring(*missing) + L"; nothing extracted");
  }
  const auto image = IdentityOfPath(imagePath_);
  for (const std::size_t i : ExtractedPartitions(command_, header)) {
    const std::string path = ExtractedFileName(directory_, i);
    const auto existing = EntryAt(path);
    if (!existing) continue;
    if (Outcome refused =
            RefuseExistingTarget(WideFromUtf8(path), existing->identity == image,
                                 existing->isFolder, command_.force, L"nothing extracted");
        !refused.ok()) {
      return refused;
    }
  }
  return {};
}

std::unique_ptr<ByteSink> Extraction::Begin(std::size_t index) {
  if (!Extracted(command_, index)) return std::make_unique<DroppingSink>();
  return files_->Begin(index);
}

void Extraction::Accept(std::size_t index) {
  if (Extracted(command_, index)) files_->Accept(index);
}

Outcome Extraction::PutInPlace(const ImageReport& report) {
  if (!refusal_.ok()) return refusal_;
  if (const auto& failure = report.sinkFailure) {
    return Error(FailureKind::kIo,
                 "extraction failed, nothing extracted: cannot write the file of partition " +
                     std::to_string(failure->where.partition.value_or(0)) + " in " +
                     Utf8ForDisplay(command_.extractDirectory))
        .Because(failure->systemError);
  }
  // The lines go out before the files are kept, so that a run that loses
  // them leaves the folder as it was.
  const auto announce = [this, &report] {
    if (command_.json) return true;
    for (const std::size_t i : ExtractedPartitions(command_, report)) {
      WriteUtf8Text("extracted " + Utf8ForDisplay(command_.extractDirectory) + "/partition-" +
                    std::to_string(i) + ".bin\n");
    }
    return !StandardOutputFailure();
  };
  if (Outcome placed = files_->PutInPlace(command_.force, announce); !placed.ok()) return placed;
  folder_->Keep();
  return {};
}

}  // namespace vantorel
