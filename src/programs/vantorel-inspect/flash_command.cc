// The --flash step: plan, target checks, the streamed write, the rename.
#include "programs/vantorel-inspect/flash_command.h"

#include "flash/flash_output.h"
#include "image/file_source.h"
#include "platform/console.h"
#include "platform/folders.h"
#include "platform/text.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {
namespace {

class ReplacementSink : public ByteSink {
 public:
  explicit ReplacementSink(ReplacementFile& file) : file_(file) {}
  bool Write(const uint8_t* data, std::size_t length) override { return file_.Write(data, length); }

 private:
  ReplacementFile& file_;
};

// Why the target may not be replaced: the image itself, a folder, or (not
// forced) an existing file.
std::optional<std::wstring> TargetRefusal(const InspectCommand& command, const std::string& target,
                                          const FlashSource& image) {
  const auto existing = EntryAt(target);
  if (!existing) return std::nullopt;
  const std::wstring name = command.flash.file;
  if (existing->identity == image.identity) {
    return name + L" is the image being read; no flash file written";
  }
  if (existing->isFolder) return name + L" is a folder; no flash file written";
  if (!command.force) return name + L" exists; no flash file written (--force overwrites)";
  return std::nullopt;
}

// The system failed a write: no verdict about the image.
Diagnostic IoFailure(const std::wstring& reason) {
  return Error(FailureKind::kIo, Utf8ForDisplay(reason) + "; no flash file written");
}

}  // namespace

Outcome WriteFlashFile(const InspectCommand& command, const FlashSource& image) {
  const FlashRequest& request = command.flash;
  const FlashPlan plan = PlanFlash(PlacementsOf(image.report.partitions),
                                   {.base = request.base, .size = request.size});
  if (!plan.refusal.empty()) {
    return Failure(
        FailureKind::kOutput,
        L"cannot lay out the flash: " + WideFromUtf8(plan.refusal) + L"; no flash file written");
  }
  const auto target = NarrowText(request.file);
  if (!target)
    return Failure(FailureKind::kOutput, L"flash file path " + request.file + L" cannot be used");
  if (auto refusal = TargetRefusal(command, *target, image))
    return Failure(FailureKind::kOutput, *refusal);

  InputFile file(image.imagePath);
  const auto size = file.IsOpen() ? file.Size() : std::nullopt;
  if (!size)
    return Failure(FailureKind::kIo,
                   L"cannot read " + command.image + L" again to write the flash file");
  FileSource source(file, *size);
  ReplacementFile output(*target);
  if (!output.IsOpen()) return IoFailure(L"cannot create a file beside " + request.file);
  ReplacementSink sink(output);
  const auto encoder = MakeFlashEncoder(request.format, sink, plan.base, request.fill);
  if (const auto problem = StreamFlash(source, image.report.partitions, plan, *encoder)) {
    return Failure(FailureKind::kImageNotSound,
                   L"flash file " + request.file + L" not written: " + WideFromUtf8(*problem));
  }
  if (!output.Finish()) return IoFailure(L"cannot write the flash file " + request.file);
  if (!output.PutInPlace(command.force)) {
    return IoFailure(L"cannot put the flash file " + request.file + L" in place");
  }
  if (!command.json) {
    WriteUtf8Text("flash " + Utf8ForDisplay(request.file) + ": " + FlashFormatName(request.format) +
                  " " + RangeText({plan.base, plan.end}) + "\n");
  }
  return {};
}

}  // namespace vantorel
