// The --flash step: plan, target checks, the streamed write, the commit.
#include "programs/vantorel-inspect/flash_command.h"

#include "flash/flash_output.h"
#include "image/file_source.h"
#include "platform/console.h"
#include "platform/folders.h"
#include "platform/output_commit.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {
namespace {

// The image itself (by any name or link), a folder, and (not forced)
// anything that exists are refused before anything is written.
Outcome CheckTarget(const InspectCommand& command, const std::string& target,
                    const FlashSource& image) {
  const auto existing = EntryAt(target);
  if (!existing) return {};
  const bool isImage = image.identity && (existing->identity == *image.identity ||
                                          IdentityOfPath(target) == image.identity);
  return RefuseExistingTarget(command.flash.file, isImage, existing->isFolder, command.force,
                              L"no flash file written");
}

// What became of the flash file says what a failure left: a file replaced
// whole is untouched, a device or FIFO holds what was written so far.
Diagnostic NotWritten(const std::wstring& file, const CommittedOutput& output, Diagnostic failure) {
  failure.reason = "flash file " + Utf8ForDisplay(file) +
                   (output.InPlace() ? " not completely written: " : " not written: ") +
                   failure.reason;
  return failure;
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
  if (Outcome refused = CheckTarget(command, *target, image); !refused.ok()) return refused;

  InputFile file(image.imagePath);
  const auto size = file.IsOpen() ? file.Size() : std::nullopt;
  if (!size) {
    std::string reason = file.IsOpen() ? LastSystemErrorText() : SystemErrorText(file.OpenError());
    return Failure(FailureKind::kIo,
                   L"cannot read " + command.image + L" again to write the flash file")
        .Because(std::move(reason));
  }
  FileSource source(file, *size);
  // Written as the packer writes its image: a device or FIFO in place, a
  // link followed; a regular file replaced whole, and without --force never
  // one that appears while the flash file is written.
  CommittedOutput output(*target, {.replaceExisting = command.force});
  if (!output.IsOpen()) {
    const char* what = output.FailedStep() == OutputStep::kOpen
                           ? "cannot open it"
                           : "cannot create a file in its folder";
    return NotWritten(request.file, output,
                      Error(FailureKind::kIo, what).Because(output.FailureText()));
  }
  // Every UF2 block carries the count of blocks: counted first, from the
  // same bytes.
  Uf2Blocks uf2{.family = request.family};
  if (request.format == FlashFormat::kUf2) {
    const auto counter = MakeUf2BlockCounter(plan.base, request.fill, uf2.count);
    if (Outcome counted = StreamFlash(source, Utf8ForDisplay(command.image),
                                      image.report.partitions, plan, *counter);
        !counted.ok()) {
      return NotWritten(request.file, output, counted.failure());
    }
  }
  FileSink sink(output.File());
  const auto encoder = MakeFlashEncoder(request.format, sink, plan.base, request.fill, uf2);
  if (Outcome streamed = StreamFlash(source, Utf8ForDisplay(command.image), image.report.partitions,
                                     plan, *encoder);
      !streamed.ok()) {
    return NotWritten(request.file, output, streamed.failure());
  }
  if (!output.Commit()) {
    if (output.TargetTaken()) {
      return Failure(FailureKind::kOutput,
                     request.file +
                         L" appeared while it was written; no flash file written (--force "
                         L"overwrites)");
    }
    return NotWritten(request.file, output,
                      Error(FailureKind::kIo, std::string("cannot finish it (") +
                                                  OutputStepName(output.FailedStep()) + ")")
                          .Because(output.FailureText()));
  }
  // The line goes out before the file is kept, so that a run that loses it
  // leaves a replaced file as it was.
  if (!command.json) {
    WriteUtf8Text("flash " + Utf8ForDisplay(request.file) + ": " + FlashFormatName(request.format) +
                  " " + RangeText({plan.base, plan.end}) + "\n");
    if (const auto lost = StandardOutputFailure()) {
      output.Undo();
      return Error(FailureKind::kIo, "cannot write to standard output").Because(*lost);
    }
  }
  output.Keep();
  return {};
}

}  // namespace vantorel
