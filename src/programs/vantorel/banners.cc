// The fixed texts of the front end, printed through the console.
#include "programs/vantorel/banners.h"

#include "platform/console.h"
#include "platform/program.h"

namespace vantorel {

void PrintVersionBanner() {
  const auto version = ReadOwnFileVersion();
  if (!version) {
    WriteLine("[Warning] GetFileVersionInfoSize failed");
    return;
  }
  WriteLine("------------------------------");
  WriteLine("Vantorel.exe Ver:" + std::to_string(version->major) + "." +
            std::to_string(version->minor) + "." + std::to_string(version->build));
  WriteLine("------------------------------");
}

void PrintUsage(const wchar_t* programPath) {
  WriteText("*** Usage ***\n");
  WriteText("  To generate an IoT image for ROM writer or Orvex Generator:\n");
  WriteText("    ");
  WriteText(UsageProgramName(programPath));
  WriteText(" -i config_file -o output_file\n");
}

void PrintErrorBanner() {
  WriteLine("========================");
  WriteLine("          Error!        ");
  WriteLine("========================");
  WriteLine("cannot generate new IoT file.");
}

}  // namespace vantorel
