// The dependency file of an image.
#include "programs/vantorel/depfile.h"

#include "platform/files.h"
#include "platform/host.h"
#include "platform/system_error.h"

namespace vantorel {
namespace {

std::optional<std::string> Escaped(const std::string& name) {
  std::string text;
  for (const char c : name) {
    switch (c) {
      case '\n':
      case '\r':
        return std::nullopt;
      case ' ':
      case '#':
        text += '\\';
        break;
      case '$':
        text += '$';
        break;
      case '\\':
        // Where it is no separator it is a letter, which Make and Ninja
        // would otherwise read as an escape.
        if (FolderSeparator() != '\\') text += '\\';
        break;
      default:
        break;
    }
    text += c;
  }
  return text;
}

}  // namespace

std::optional<std::string> DependencyRule(const std::string& target,
                                          const std::vector<std::string>& prerequisites) {
  auto rule = Escaped(target);
  if (!rule) return std::nullopt;
  *rule += ":";
  for (const std::string& prerequisite : prerequisites) {
    const auto name = Escaped(prerequisite);
    if (!name) return std::nullopt;
    *rule += " \\\n  " + *name;
  }
  return *rule + "\n";
}

std::string PrerequisitePath(const std::string& path) {
  const std::string native = NativePathOf(path);
  if (!IsRelativePath(path)) return native;
  const auto folder = CurrentFolder();
  if (!folder) return native;
  const char separator = FolderSeparator();
  return folder->back() == separator ? *folder + native : *folder + separator + native;
}

Outcome DependencyFile::Write(const std::string& path, const std::string& rule) {
  // As a flash file: a regular file replaced whole, a device or FIFO
  // written in place.
  output_ = std::make_unique<CommittedOutput>(path, OutputPolicy{});
  if (!output_->IsOpen()) {
    return Error(FailureKind::kOutput, "cannot open dependency file " + path)
        .Because(output_->FailureText());
  }
  if (!output_->Truncate() ||
      !output_->File().Write(reinterpret_cast<const uint8_t*>(rule.data()), rule.size())) {
    return Error(FailureKind::kIo, "cannot write dependency file " + path)
        .Because(LastSystemErrorText());
  }
  if (!output_->Commit()) {
    return Error(FailureKind::kIo, "cannot put dependency file " + path + " in place (" +
                                       OutputStepName(output_->FailedStep()) + ")")
        .Because(output_->FailureText());
  }
  return {};
}

void DependencyFile::Keep() {
  if (output_) output_->Keep();
}

}  // namespace vantorel
