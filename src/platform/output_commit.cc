// The output's commit, the same on both platforms; what differs is in
// output_target_*.cc and folders_*.cc.
#include "platform/output_commit.h"

#include "platform/folders.h"
#include "platform/interrupt_cleanup.h"
#include "platform/output_target.h"
#include "platform/system_error.h"

namespace vantorel {
CommittedOutput::CommittedOutput(const std::string& path) {
  const OutputTarget target = ExamineOutputTarget(path);
  target_ = target.path;
  if (target.replaceable) {
    previous_ = std::make_unique<OutputFile>(target_, OutputCreation::kExistingOnly);
    // An output that is there but cannot be opened could not be told from
    // the inputs, nor locked: it is refused.
    if (!previous_->IsOpen() && IdentityOfPath(target_)) return;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !IsOpen(); ++attempt) {
      temporary_ = TemporaryNameFor(target_);
      file_ = std::make_unique<OutputFile>(temporary_, OutputCreation::kCreateNew);
    }
  }
  if (IsOpen()) {
    cleanup_ = std::make_unique<InterruptCleanup>(temporary_);
    CopyPermissions(target_, temporary_);
    return;
  }
  // No new file can be made beside the output: written in place, as a
  // device is.
  temporary_.clear();
  previous_.reset();
  file_ = std::make_unique<OutputFile>(target_);
}

CommittedOutput::~CommittedOutput() {
  if (undoable_) Undo();
  if (temporary_.empty()) return;
  file_.reset();
  RemoveFile(temporary_);
}

std::optional<FileIdentity> CommittedOutput::OutputIdentity() const {
  if (InPlace()) return file_->Identity();
  return previous_ && previous_->IsOpen() ? previous_->Identity() : std::nullopt;
}

bool CommittedOutput::TryLock() {
  if (InPlace()) return file_->TryLock();
  return !previous_ || !previous_->IsOpen() || previous_->TryLock();
}

bool CommittedOutput::Truncate() { return !InPlace() || file_->Truncate(); }

bool CommittedOutput::Fail(const char* step) {
  failedStep_ = step;
  failureText_ = LastSystemErrorText();
  return false;
}

bool CommittedOutput::Commit() {
  if (!file_->Sync()) return Fail("sync");
  if (!file_->Close()) return Fail("close");
  if (InPlace()) return true;
  // Windows does not rename over a file that is still open, even one shared
  // for deletion; the lock ends with it, a moment before the rename.
  const bool existed = previous_ && previous_->IsOpen();
  previous_.reset();
  KeepPrevious(existed);
  if (!RenameReplacing(temporary_, target_)) {
    const bool renamed = Fail("rename");
    DropKept();
    return renamed;
  }
  temporary_.clear();
  // An interruption from here on puts the previous output back.
  cleanup_ = kept_.empty() ? std::make_unique<InterruptCleanup>(target_)
                           : std::make_unique<InterruptCleanup>(kept_, target_);
  undoable_ = existed ? !kept_.empty() : true;
  if (!SyncFolderOf(target_)) {
    Fail("sync of the folder");
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
