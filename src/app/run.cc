// The run flow: banner, options, configuration, image, and the outcome.
// Every failure after the options were accepted, whether a step returned it
// or an exception (memory, threads, the system) brought it, ends on the one
// path of FailRun; success is reported only when the image writer itself
// returned 0.
#include "app/run.h"

#include <string>

#include "app/arguments.h"
#include "app/banners.h"
#include "config/config_reader.h"
#include "image/image_writer.h"
#include "image/progress.h"
#include "image/writer_messages.h"
#include "platform/console.h"
#include "platform/exception_reason.h"
#include "platform/threads.h"

namespace vantorel {
namespace {

// The status of a run refused before it opened anything.
constexpr int kWorkersRefused = 1;

// Reads the configuration, then writes the image: the first non-zero status,
// or the writer's 0.
int ReadAndWrite(const std::wstring& configFile, const std::wstring& outputFile) {
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) {
    WriteLine("");
    WriteWideLine(workers.refusal);
    return kWorkersRefused;
  }
  PartitionList list;
  ImageHeader header{};
  if (const int status = ReadConfiguration(configFile, list)) return status;
  Progress progress;
  WriterOptions options;
  options.configFile = configFile;
  options.workers = workers.workers;
  options.progress = &progress;
  return ImageWriter(list, header, outputFile, options);
}

// Says why a step could not go on, from inside a catch block. Prints literal
// text only, so that it still works when memory is what ran out.
void ReportException() {
  WriteLine("");
  WriteText("cannot continue: ");
  WriteLine(ReasonOfCurrentException());
}

int FailRun() {
  PrintErrorBanner();
  // The messages may not have arrived; standard error says so.
  if (const auto failure = StandardOutputFailure()) ReportStandardOutputFailure(*failure);
  PauseAfterFailure();
  return kExitFailed;
}

int RunSteps(int argc, const wchar_t* const* argv) {
  std::wstring configFile;
  std::wstring outputFile;
  PrintVersionBanner();
  if (ParseArguments(argc, argv, configFile, outputFile) != kArgumentsAccepted) {
    return kExitFailed;
  }
  WriteWideLine(L"config file: " + configFile);
  WriteWideLine(L"output file: " + outputFile);
  int status;
  try {
    status = ReadAndWrite(configFile, outputFile);
  } catch (...) {
    ReportException();
    return FailRun();
  }
  if (status != kWriterOk) return FailRun();
  WriteLine("Creating IoT file...[OK]");
  // Exit 0 says that every line arrived too.
  if (StandardOutputFailure()) return FailRun();
  return kExitImageWritten;
}

}  // namespace

int Run(int argc, const wchar_t* const* argv) noexcept {
  try {
    return RunSteps(argc, argv);
  } catch (const UsageError&) {
    return kExitUsageError;
  } catch (...) {
    return FailRunOnException();
  }
}

int FailRunOnException() noexcept {
  try {
    ReportException();
    return FailRun();
  } catch (...) {
    return kExitFailed;
  }
}

}  // namespace vantorel
