// Extraction of partitions into files put in place whole, all or none.
#include "programs/vantorel-inspect/extract.h"

#include <vector>

#include "platform/interrupt_cleanup.h"
#include "platform/system_error.h"

namespace vantorel {

class DirectorySink::FileWriter : public PartitionWriter {
 public:
  FileWriter(DirectorySink& sink, std::size_t index)
      : sink_(sink),
        index_(index),
        file_(std::make_unique<ReplacementFile>(ExtractedFileName(sink.directory_, index))) {}
  bool IsOpen() const { return file_->IsOpen(); }
  bool Write(const uint8_t* data, std::size_t length) override {
    return file_->Write(data, length);
  }
  bool Finish() override {
    const std::lock_guard lock(sink_.mutex_);
    sink_.finished_[index_] = std::move(file_);
    return true;
  }

 private:
  DirectorySink& sink_;
  std::size_t index_;
  std::unique_ptr<ReplacementFile> file_;
};

namespace {

// One extraction's changes to the folder, undone unless Keep is called: the
// files it put in place are removed, the files it moved aside moved back.
// Interruption undoes them too.
class Placement {
 public:
  ~Placement() {
    if (kept_) return;
    for (auto it = placed_.rbegin(); it != placed_.rend(); ++it) RemoveFile(it->path);
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      RenameReplacing(it->savedAs, it->target);
    }
  }

  // Moves an existing target aside; true when there was none to move.
  bool MoveAside(const std::string& target) {
    if (!EntryAt(target)) return true;
    const std::string savedAs = TemporaryNameFor(target);
    if (!RenameWithoutReplacing(target, savedAs)) return false;
    saved_.push_back({target, savedAs, std::make_unique<InterruptCleanup>(savedAs, target)});
    return true;
  }

  bool Place(ReplacementFile& file) {
    if (!file.PutInPlace(false)) return false;
    placed_.push_back({file.Target(), std::make_unique<InterruptCleanup>(file.Target())});
    return true;
  }

  // Every file is in place: the saved ones go. An interruption from here on
  // must not undo anything.
  void Keep() {
    kept_ = true;
    for (Placed& placed : placed_) placed.cleanup.reset();
    for (Saved& saved : saved_) saved.cleanup.reset();
    for (const Saved& saved : saved_) RemoveFile(saved.savedAs);
  }

 private:
  struct Saved {
    std::string target;
    std::string savedAs;
    std::unique_ptr<InterruptCleanup> cleanup;
  };
  struct Placed {
    std::string path;
    std::unique_ptr<InterruptCleanup> cleanup;
  };

  std::vector<Saved> saved_;
  std::vector<Placed> placed_;
  bool kept_ = false;
};

}  // namespace

std::string ExtractedFileName(const std::string& directory, std::size_t index) {
  return directory + "/partition-" + std::to_string(index) + ".bin";
}

std::unique_ptr<PartitionWriter> DirectorySink::Begin(std::size_t index) {
  auto writer = std::make_unique<FileWriter>(*this, index);
  if (!writer->IsOpen()) return nullptr;
  return writer;
}

// Every file is made durable before any target changes; with `replace`,
// every existing target is moved aside before any is replaced, so that a
// target we may not touch (another user's file in a sticky folder) fails
// the extraction while nothing has changed yet.
std::optional<PlacementFailure> DirectorySink::PutInPlace(bool replace) {
  const std::lock_guard lock(mutex_);
  const auto failure = [](const char* action, const ReplacementFile& file) {
    const std::string reason = LastSystemErrorText();
    return PlacementFailure{action, file.Target(), reason};
  };
  for (auto& [index, file] : finished_) {
    if (!file->Finish()) return failure("write", *file);
  }
  Placement placement;
  if (replace) {
    for (auto& [index, file] : finished_) {
      if (!placement.MoveAside(file->Target())) return failure("move aside", *file);
    }
  }
  for (auto& [index, file] : finished_) {
    if (!placement.Place(*file)) {
      PlacementFailure failed = failure("put in place", *file);
      failed.targetTaken = EntryAt(file->Target()).has_value();
      return failed;
    }
  }
  if (!finished_.empty() && !SyncFolderOf(finished_.begin()->second->Target())) {
    return failure("sync the folder of", *finished_.begin()->second);
  }
  placement.Keep();
  return std::nullopt;
}

}  // namespace vantorel
