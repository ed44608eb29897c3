// Extraction of partitions into files put in place whole, all or none.
#include "programs/vantorel-inspect/extract.h"

#include <vector>

#include "platform/console.h"
#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
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

}  // namespace

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

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

}  // namespace vantorel
