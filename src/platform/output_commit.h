// The packer's output, put in place whole and durably: the image is written
// to a new temporary file in the output's folder, synced, renamed over the
// output, and the folder is synced. Until the rename the output is exactly
// as it was; a failed or interrupted run (InterruptCleanup) leaves it so and
// removes the temporary file. An existing output's permission bits carry
// over. A device, a FIFO or any other file that is not regular, and an
// output whose folder takes no new file, are written in place instead.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/files.h"

namespace vantorel {

class InterruptCleanup;

class CommittedOutput {
 public:
  // Opens the file the bytes go to. Check IsOpen.
  explicit CommittedOutput(const std::string& path);
  // Removes the temporary file unless it was committed.
  ~CommittedOutput();
  CommittedOutput(const CommittedOutput&) = delete;
  CommittedOutput& operator=(const CommittedOutput&) = delete;

  bool IsOpen() const { return file_ && file_->IsOpen(); }
  // True when the bytes go straight to the output.
  bool InPlace() const { return !cleanup_; }
  // What the bytes are written to: the temporary file, or the output.
  OutputFile& File() { return *file_; }
  // The identity of the file the output's name stands for before the run;
  // nullopt when there is none.
  std::optional<FileIdentity> OutputIdentity() const;
  // Keeps other runs out: an exclusive lock on the file the output's name
  // stands for, held until this object is gone; false only when another
  // process holds it.
  bool TryLock();
  // Empties an output written in place; the temporary file is new and empty.
  bool Truncate();
  // Syncs the written bytes, closes the file, renames it over the output and
  // syncs the folder. False when a step failed: FailedStep and FailureText
  // say which and why, and before the rename the output is unchanged.
  bool Commit();
  // After a commit the previous output is kept under a second name until
  // Keep, so that a run that fails after the rename (the folder's sync, or
  // its last line) can still leave the output as it was: Undo, or the
  // destructor without Keep, puts it back (or removes an output that was
  // not there before). Where no second name can be made, nothing is kept
  // and the commit cannot be undone.
  void Keep();
  bool Undo();
  const char* FailedStep() const { return failedStep_; }
  const std::string& FailureText() const { return failureText_; }

 private:
  bool Fail(const char* step);
  // Gives the previous output a second name, when there was one.
  void KeepPrevious(bool existed);
  void DropKept();

  std::string target_;     // the output, links resolved
  std::string temporary_;  // empty when written in place
  std::unique_ptr<OutputFile> file_;
  std::unique_ptr<OutputFile> previous_;  // the output before the run, for its lock
  std::unique_ptr<InterruptCleanup> cleanup_;
  std::string kept_;       // the previous output's second name, while undoable
  bool undoable_ = false;  // committed, and not yet kept
  const char* failedStep_ = "";
  std::string failureText_;
};

}  // namespace vantorel
