// Every file either program writes goes through CommittedOutput: the packer's
// image, a flash file, each extracted partition. A regular file is replaced
// whole and durably: the bytes go to a new file in the target's folder,
// which on Linux has no name until the commit (so a killed run leaves
// nothing behind; elsewhere, or where the file system cannot make such a
// file, it has a temporary name, `.NAME.` and a random suffix). The commit
// syncs it, gives it the replaced file's owner, group and permission bits
// where the process may, puts it in the target's place in one step and
// syncs the folder. Until then the target is exactly as it was, and a failed
// or interrupted run (InterruptCleanup) leaves it so. A device, a FIFO or
// any other file that is not regular is written in place and never
// replaced, unless the policy says to replace whatever stands at the target.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace vantorel {

class InterruptCleanup;

struct OutputPolicy {
  // False (the image, a flash file): a link is followed, so that the file it
  // names gets the bytes, and a device, FIFO or other special file is
  // written in place. True (an extracted partition): whatever stands at the
  // target, a link or a FIFO too, is replaced and never written through.
  bool replaceAnyEntry = false;
  // False: the commit puts the file in place only where nothing stands, in
  // one step, so that a file that appears meanwhile is never replaced.
  bool replaceExisting = true;
  // The bytes are written out of order (the image's header comes last): an
  // output written in place that cannot seek gets them copied through from
  // a scratch file once they are complete.
  bool seeks = false;
  // The file the target's name stands for is opened at once, for its
  // identity and its lock; one that is there but cannot be opened is
  // refused.
  bool locks = false;
  // A file the process may not write, or one whose folder takes no new
  // file, is written in place (the packer always did) rather than refused.
  bool inPlaceWhenRefused = false;
};

// The step of making or committing an output that failed.
enum class OutputStep {
  kNone,
  kOpen,        // the target itself, written in place
  kCreate,      // a new file for the bytes
  kWrite,       // the copy of the bytes to the target
  kReadBack,    // the scratch file, read back for the copy
  kSync,        // the bytes made durable
  kOwner,       // the replaced file's owner, group and permission bits
  kClose,       // the new file or the target, closed
  kRename,      // the new file put in the target's place
  kSyncFolder,  // the rename made durable
};

// A few words for the step: "sync", "rename", "sync of the folder"...
const char* OutputStepName(OutputStep step);

class CommittedOutput {
 public:
  // Opens the file the bytes go to. Check IsOpen; when it is not open,
  // FailedStep and FailureText say why.
  CommittedOutput(const std::string& path, const OutputPolicy& policy);
  // Removes the new file unless it was committed, and undoes a commit that
  // was not kept.
  ~CommittedOutput();
  CommittedOutput(const CommittedOutput&) = delete;
  CommittedOutput& operator=(const CommittedOutput&) = delete;

  bool IsOpen() const { return pending_ || output_; }
  // True when the output itself is written (and, for an output that cannot
  // seek, the bytes copied to it at the commit).
  bool InPlace() const { return output_ != nullptr; }
  // What the bytes are written to: a new file, a scratch file or the output.
  OutputFile& File() { return pending_ ? *pending_ : *output_; }
  // The target, in the platform's form (links resolved where followed).
  const std::string& Target() const { return target_; }
  // The identity of the file the output's name stands for before the run
  // (with `locks`, or written in place); nullopt when there is none.
  std::optional<FileIdentity> OutputIdentity() const;
  // Keeps other runs out: an exclusive lock on the file the output's name
  // stands for, held until this object is gone; false only when another
  // process holds it.
  bool TryLock();
  // Empties an output written in place; a new file is empty already.
  bool Truncate();
  // The regular file that stood at the target has been moved aside to
  // `path` (extraction with --force): its owner, group and permission bits
  // carry over at the commit, as a replaced file's do.
  void ReplacesFileAt(std::string path) { replacedFile_ = std::move(path); }
  // Makes the bytes durable before the commit, so that several outputs can
  // be made durable before any target changes. Nothing may be written after
  // it. False when that failed.
  bool Sync();
  // Syncs the bytes (unless Sync did), then puts them in place: a new file
  // takes the target's name and the folder is synced; an output written in
  // place is synced and closed, after the bytes were copied to it from the
  // scratch file. False when a step failed: FailedStep and FailureText say
  // which and why; before the rename the target is unchanged.
  bool Commit();
  // After a commit the previous output is kept under a second name until
  // Keep, so that a run that fails after the rename (the folder's sync, or
  // its last line) can still leave the target as it was: Undo, or the
  // destructor without Keep, puts it back (or removes an output that was
  // not there before). Where no second name can be made, nothing is kept
  // and the commit cannot be undone.
  void Keep();
  bool Undo();

  OutputStep FailedStep() const { return failedStep_; }
  // The system's error code of the failed step (system_error.h), and its text.
  int FailedError() const { return failedError_; }
  const std::string& FailureText() const { return failureText_; }
  // The commit without replacing failed because an entry stands at the
  // target: not a failure of the system.
  bool TargetTaken() const { return targetTaken_; }

 private:
  // A name in the target's folder, removed with this object while it holds
  // one.
  struct TemporaryName {
    ~TemporaryName();
    std::string path;
  };

  void OpenInPlace();
  bool OpenPrevious();
  bool Fail(OutputStep step);
  bool Fail(OutputStep step, int error);
  bool CommitInPlace();
  bool CopyScratchToOutput();
  // Gives an unnamed new file a temporary name of its own.
  bool NameTemporarily();
  bool PlaceWithoutReplacing();
  bool PlaceReplacing(bool existed);
  // The new file took the target's name: from now on an interruption or
  // Undo puts the previous output back.
  bool Placed(bool existed);
  // Gives the previous output a second name, when there was one.
  void KeepPrevious(bool existed);
  void DropKept();

  OutputPolicy policy_;
  std::string target_;
  std::unique_ptr<OutputFile> output_;    // the target, when written in place
  std::unique_ptr<OutputFile> previous_;  // the target before the run, for its lock
  // Declared before the file it names, so that the file is closed before
  // its name is removed.
  TemporaryName pendingName_;  // empty while the new file has no name
  // Where the bytes go when not straight to the target: the new file that
  // will replace it, or the scratch copy for a target that cannot seek.
  std::unique_ptr<OutputFile> pending_;
  std::unique_ptr<InterruptCleanup> cleanup_;
  std::string replacedFile_;  // moved aside from the target; empty: none
  std::string kept_;          // the previous output's second name, while undoable
  bool synced_ = false;       // Sync succeeded
  bool undoable_ = false;     // committed, and not yet kept
  bool targetTaken_ = false;
  OutputStep failedStep_ = OutputStep::kNone;
  int failedError_ = 0;
  std::string failureText_;
};

}  // namespace vantorel
