// The run flow: banner, options, configuration, image, and the outcome.
// Every failure after the options were accepted, whether a step returned it
// or an exception (memory, threads, the system) brought it, ends in the
// message place (messages.h); success is reported only when the image
// writer itself succeeded.
#include "programs/vantorel/run.h"

#include <string>

#include "config/config_reader.h"
#include "image/image_writer.h"
#include "machinery/progress.h"
#include "machinery/worker_count.h"
#include "platform/console.h"
#include "platform/files.h"
#include "platform/text.h"
#include "programs/vantorel/arguments.h"
#include "programs/vantorel/banners.h"
#include "programs/vantorel/depfile.h"
#include "programs/vantorel/messages.h"
#include "programs/vantorel/run_lines.h"

namespace vantorel {
namespace {

// --depfile: the image's rule, its prerequisites the configuration and the
// partition files as the packer opened them.
Outcome WriteDependencies(const CommandLine& commandLine, const PartitionList& list,
                          DependencyFile& file) {
  const NarrowedPath path = NarrowPath(commandLine.depfile);
  const NarrowedPath target = NarrowPath(commandLine.outputFile);
  const NarrowedPath config = NarrowPath(commandLine.configFile);
  if (path.narrowing != PathNarrowing::kNarrowed || target.narrowing != PathNarrowing::kNarrowed ||
      config.narrowing != PathNarrowing::kNarrowed) {
    return Error(FailureKind::kOutput, "cannot write a dependency file for these paths: " +
                                           Utf8ForDisplay(commandLine.depfile));
  }
  std::vector<std::string> prerequisites{PrerequisitePath(config.path)};
  for (const PartitionSpec& partition : list) {
    prerequisites.push_back(PrerequisitePath(partition.path));
  }
  const auto rule = DependencyRule(target.path, prerequisites);
  if (!rule) {
    return Error(FailureKind::kOutput,
                 "cannot write dependency file " + path.path + ": a path holds a line end");
  }
  // Never in the place of the image just made, nor of what it was made of:
  // told by identity, however the paths are spelled or linked.
  if (const auto identity = IdentityOfPath(path.path)) {
    std::vector<std::string> taken{target.path, config.path};
    for (const PartitionSpec& partition : list) taken.push_back(partition.path);
    for (const std::string& other : taken) {
      if (IdentityOfPath(other) == identity) {
        return Error(FailureKind::kOutput, "dependency file " + path.path +
                                               " is also the image or one of its inputs: " + other);
      }
    }
  }
  return file.Write(path.path, *rule);
}

// Under --strict, warnings are failures: each said as one, and the run ends
// before the output is opened.
Outcome CheckWarnings(const Warnings& warnings, const CommandLine& commandLine,
                      const ConfigurationReading& reading) {
  if (!commandLine.strict || warnings.empty()) {
    PrintWarnings(warnings);
    return {};
  }
  PrintWarningsAsErrors(warnings);
  const std::size_t count = warnings.size();
  return Error(FailureKind::kConfiguration,
               std::to_string(count) +
                   (count == 1 ? " warning counts as a failure" : " warnings count as failures") +
                   " (--strict); the output is left as it was")
      .At({.file = reading.file});
}

// Reads the configuration, then writes the image, warning of what the
// configuration says that is probably meant otherwise. The image writer
// refuses what the packing rules refuse before it opens the output.
Outcome ReadAndWrite(const CommandLine& commandLine, ConfigurationReading& reading) {
  const WorkerChoice workers = ChooseWorkers();
  if (!workers.workers) return Error(FailureKind::kSetting, Utf8ForDisplay(workers.refusal));
  RunLines lines;
  PartitionList list;
  const Outcome read = ReadConfiguration(commandLine.configFile, list, reading, &lines);
  if (!read.ok()) {
    PrintWarnings(reading.warnings);
    return read;
  }
  Warnings warnings = reading.warnings;
  for (Diagnostic& warning : CheckPartitions(list, reading)) warnings.push_back(std::move(warning));
  if (Outcome checked = CheckWarnings(warnings, commandLine, reading); !checked.ok()) {
    return checked;
  }
  Progress progress(TerminalStatusDisplay());
  WriterOptions options;
  options.configFile = commandLine.configFile;
  options.workers = workers.workers;
  options.progress = &progress;
  options.events = &lines;
  // Success is said while the previous output can still be put back: a
  // dependency file that cannot be written, or a line that does not
  // arrive, fails the run with the output as it was.
  options.linesLost = [] { return StandardOutputFailure().has_value(); };
  DependencyFile dependencies;
  options.confirmSuccess = [&]() -> Outcome {
    if (!commandLine.depfile.empty()) {
      if (Outcome written = WriteDependencies(commandLine, list, dependencies); !written.ok()) {
        return written;
      }
    }
    WriteLine("Creating IoT file...[OK]");
    return {};
  };
  Outcome packed = PackImage(list, commandLine.outputFile, options);
  if (packed.ok()) dependencies.Keep();
  return packed;
}

// --help and --version: their text, and whether it arrived.
int PrintAnswer(Request request, const wchar_t* programPath) {
  if (request == Request::kLongHelp) {
    PrintHelp(programPath);
  } else {
    PrintVersion();
  }
  if (const auto lost = StandardOutputFailure()) {
    return Fail(Error(FailureKind::kIo, "cannot write to standard output").Because(*lost));
  }
  return kExitImageWritten;
}

int RunSteps(int argc, const wchar_t* const* argv) {
  CommandLine commandLine;
  const Outcome parsed = ParseArguments(argc, argv, commandLine);
  if (commandLine.request == Request::kLongHelp || commandLine.request == Request::kVersion) {
    return PrintAnswer(commandLine.request, argv[0]);
  }
  PrintVersionBanner();
  if (!parsed.ok()) return Fail(parsed.failure());
  if (Outcome setting = ReadStrictSetting(commandLine); !setting.ok()) {
    return Fail(setting.failure());
  }
  if (commandLine.request == Request::kShortHelp) {
    WriteLine("-h");
    PrintUsage(argv[0]);
    return kExitFailed;
  }
  WriteWideLine(L"config file: " + commandLine.configFile);
  WriteWideLine(L"output file: " + commandLine.outputFile);
  ConfigurationReading reading;
  if (const Outcome outcome = ReadAndWrite(commandLine, reading); !outcome.ok()) {
    return Fail(outcome.failure(), &reading);
  }
  return kExitImageWritten;
}

}  // namespace

int RunVantorel(int argc, NativeArgv argv) noexcept {
  return RunProgram(argc, argv, RunSteps, FailRunOnException);
}

}  // namespace vantorel
