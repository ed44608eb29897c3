// The output's commit, the same on both platforms; what differs is in
// output_target_*.cc and folders_*.cc.
#include "platform/output_commit.h"

#include <vector>

#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
#include "platform/output_target.h"
#include "platform/system_error.h"

namespace vantorel {

const char* OutputStepName(OutputStep step) {
  switch (step) {
    case OutputStep::kOpen:
      return "open";
    case OutputStep::kCreate:
      return "create";
    case OutputStep::kWrite:
      return "write";
    case OutputStep::kReadBack:
      return "read back";
    case OutputStep::kSync:
      return "sync";
    case OutputStep::kOwner:
      return "owner and mode";
    case OutputStep::kClose:
      return "close";
    case OutputStep::kRename:
      return "rename";
    case OutputStep::kSyncFolder:
      return "sync of the folder";
    case OutputStep::kNone:
      break;
  }
  return "";
}

CommittedOutput::TemporaryName::~TemporaryName() {
  if (!path.empty()) RemoveFile(path);
}

CommittedOutput::CommittedOutput(const std::string& path, const OutputPolicy& policy)
    : policy_(policy) {
  const OutputTarget target = ExamineOutputTarget(path, policy);
  target_ = target.path;
  if (target.inPlace) {
    OpenInPlace();
    return;
  }
  if (policy.locks && !OpenPrevious()) return;
  NewFile created = CreateFileBeside(target_);
  if (created.file) {
    pending_ = std::move(created.file);
    pendingName_.path = std::move(created.name);
    if (!pendingName_.path.empty()) {
      cleanup_ = std::make_unique<InterruptCleanup>(pendingName_.path);
    }
    return;
  }
  const int error = LastSystemError();
  previous_.reset();
  // No new file can be made beside the output: written in place, as a
  // device is.
  if (policy.inPlaceWhenRefused) {
    OpenInPlace();
    return;
  }
  Fail(OutputStep::kCreate, error);
}

CommittedOutput::~CommittedOutput() {
  if (undoable_) Undo();
}

void CommittedOutput::OpenInPlace() {
  output_ = std::make_unique<OutputFile>(target_);
  if (!output_->IsOpen()) {
    Fail(OutputStep::kOpen);
    output_.reset();
    return;
  }
  if (!policy_.seeks || KeepsPosition(*output_)) return;
  pending_ = CreateScratchFile();
  if (!pending_) {
    Fail(OutputStep::kCreate);
    output_.reset();
  }
}

// An output that is there but cannot be opened could not be told from the
// inputs, nor locked: it is refused.
bool CommittedOutput::OpenPrevious() {
  previous_ = std::make_unique<OutputFile>(target_, OutputCreation::kExistingOnly);
  if (previous_->IsOpen()) return true;
  const int error = LastSystemError();
  if (!IdentityOfPath(target_)) return true;
  previous_.reset();
  return Fail(OutputStep::kOpen, error);
}

std::optional<FileIdentity> CommittedOutput::OutputIdentity() const {
  if (InPlace()) return output_->Identity();
  return previous_ && previous_->IsOpen() ? previous_->Identity() : std::nullopt;
}

bool CommittedOutput::TryLock() {
  if (InPlace()) return output_->TryLock();
  return !previous_ || !previous_->IsOpen() || previous_->TryLock();
}

bool CommittedOutput::Truncate() { return !InPlace() || output_->Truncate(); }

bool CommittedOutput::Fail(OutputStep step) { return Fail(step, LastSystemError()); }

bool CommittedOutput::Fail(OutputStep step, int error) {
  failedStep_ = step;
  failedError_ = error;
  failureText_ = SystemErrorText(error);
  return false;
}

bool CommittedOutput::Sync() {
  // An output written in place is synced once the bytes are in it.
  if (InPlace() || synced_) return true;
  if (!pending_->Sync()) return Fail(OutputStep::kSync);
  synced_ = true;
  return true;
}

bool CommittedOutput::Commit() {
  if (InPlace()) return CommitInPlace();
  if (!Sync()) return false;
  if (!policy_.replaceExisting) return PlaceWithoutReplacing();
  const bool existed = EntryAt(target_).has_value();
  if (existed && !CopyOwnerAndMode(target_, *pending_)) return Fail(OutputStep::kOwner);
  if (pendingName_.path.empty() && !NameTemporarily()) return false;
  if (!pending_->Close()) return Fail(OutputStep::kClose);
  pending_.reset();
  return PlaceReplacing(existed);
}

bool CommittedOutput::CommitInPlace() {
  if (pending_ && !CopyScratchToOutput()) return false;
  pending_.reset();
  if (!output_->Sync()) return Fail(OutputStep::kSync);
  if (!output_->Close()) return Fail(OutputStep::kClose);
  return true;
}

bool CommittedOutput::CopyScratchToOutput() {
  std::vector<uint8_t> buffer(std::size_t{1} << 20);
  for (uint64_t offset = 0;;) {
    const auto n = ReadBack(*pending_, offset, buffer.data(), buffer.size());
    if (!n) return Fail(OutputStep::kReadBack);
    if (*n == 0) return true;
    if (!output_->Write(buffer.data(), *n)) return Fail(OutputStep::kWrite);
    offset += *n;
  }
}

bool CommittedOutput::NameTemporarily() {
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    std::string name = TemporaryNameFor(target_);
    if (NameUnnamedFile(*pending_, name)) {
      pendingName_.path = std::move(name);
      cleanup_ = std::make_unique<InterruptCleanup>(pendingName_.path);
      return true;
    }
    const int error = LastSystemError();
    if (!EntryAt(name)) return Fail(OutputStep::kRename, error);  // not a name that was taken
  }
  return Fail(OutputStep::kRename);
}

// An unnamed file takes the target's name in one step that fails on any
// entry there; a named one is renamed the same way.
bool CommittedOutput::PlaceWithoutReplacing() {
  if (!replacedFile_.empty() && !CopyOwnerAndMode(replacedFile_, *pending_)) {
    return Fail(OutputStep::kOwner);
  }
  bool placed;
  if (pendingName_.path.empty()) {
    placed = NameUnnamedFile(*pending_, target_);
  } else {
    if (!pending_->Close()) return Fail(OutputStep::kClose);
    placed = RenameWithoutReplacing(pendingName_.path, target_);
  }
  if (!placed) {
    const int error = LastSystemError();
    targetTaken_ = EntryAt(target_).has_value();
    return Fail(OutputStep::kRename, error);
  }
  pendingName_.path.clear();
  if (!Placed(false)) return false;
  // Named at last, it still had to be closed.
  if (pending_->IsOpen() && !pending_->Close()) {
    Fail(OutputStep::kClose);
    Undo();
    return false;
  }
  pending_.reset();
  return true;
}

bool CommittedOutput::PlaceReplacing(bool existed) {
  // Windows does not rename over a file that is still open, even one shared
  // for deletion; the lock ends with it, a moment before the rename.
  previous_.reset();
  KeepPrevious(existed);
  if (!RenameReplacing(pendingName_.path, target_)) {
    Fail(OutputStep::kRename);
    DropKept();
    return false;
  }
  pendingName_.path.clear();
  return Placed(existed);
}

bool CommittedOutput::Placed(bool existed) {
  // An interruption from here on puts the previous output back; a previous
  // output that could not be kept is gone, and the new one stays.
  cleanup_.reset();
  if (!kept_.empty()) {
    cleanup_ = std::make_unique<InterruptCleanup>(kept_, target_);
  } else if (!existed) {
    cleanup_ = std::make_unique<InterruptCleanup>(target_);
  }
  undoable_ = existed ? !kept_.empty() : true;
  if (!SyncFolderOf(target_)) {
    Fail(OutputStep::kSyncFolder);
    Undo();
    return false;
  }
  return true;
}

void CommittedOutput::KeepPrevious(bool existed) {
  if (!existed) return;
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    kept_ = TemporaryNameFor(target_);
    if (LinkFile(target_, kept_)) return;
    if (EntryAt(kept_)) continue;  // the name was taken: another one
    break;
  }
  kept_.clear();
}

void CommittedOutput::DropKept() {
  if (!kept_.empty()) RemoveFile(kept_);
  kept_.clear();
}

void CommittedOutput::Keep() {
  undoable_ = false;
  cleanup_.reset();
  DropKept();
}

bool CommittedOutput::Undo() {
  if (!undoable_) return false;
  undoable_ = false;
  const bool undone = kept_.empty() ? RemoveFile(target_) : RenameReplacing(kept_, target_);
  kept_.clear();
  cleanup_.reset();
  return SyncFolderOf(target_) && undone;
}

}  // namespace vantorel
