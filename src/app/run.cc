// The run flow: banner, options, configuration, image, and the outcome.
#include "app/run.h"

#include <exception>
#include <new>
#include <string>

#include "app/arguments.h"
#include "app/banners.h"
#include "config/config_reader.h"
#include "image/image_writer.h"
#include "platform/console.h"

namespace vantorel {

int Run(int argc, const wchar_t* const* argv) {
  std::wstring configFile;
  std::wstring outputFile;
  PrintVersionBanner();
  try {
    if (ParseArguments(argc, argv, configFile, outputFile) != kParsedGoOn) return kExitFailed;
  } catch (const UsageError&) {
    return kExitUsageError;
  }
  WriteWideLine(L"config file: " + configFile);
  WriteWideLine(L"output file: " + outputFile);

  ImageHeader header{};
  PartitionList list;
  int status = kExitFailed;
  try {
    status = ReadConfiguration(configFile, list);
    if (status == kConfigOk) {
      WriterOptions options;
      options.configFile = configFile;
      status = ImageWriter(list, header, outputFile, options);
    }
  } catch (const std::bad_alloc&) {
    // Memory or threads the system could not give: a failed run, not a crash.
    WriteLine("");
    WriteLine("cannot continue: not enough memory");
  } catch (const std::exception& error) {
    WriteLine("");
    WriteLine(std::string("cannot continue: ") + error.what());
  }
  if (status == kWriterOk) {
    WriteLine("Creating IoT file...[OK]");
    return kExitImageWritten;
  }
  PrintErrorBanner();
  PauseAfterFailure();
  return kExitFailed;
}

}  // namespace vantorel
