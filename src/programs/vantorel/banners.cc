// The fixed texts of the front end, printed through the console.
#include "programs/vantorel/banners.h"

#include "platform/console.h"
#include "platform/program.h"
#include "platform/version.h"

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

void PrintHelp(const wchar_t* programPath) {
  PrintUsage(programPath);
  WriteText(
      "\n"
      "  -i config_file  the INI configuration file that lists the partitions\n"
      "  -o output_file  the image file to write\n"
      "  -h              print the usage text and end with status 1\n"
      "  --strict        fail on any warning, before the output is opened (also\n"
      "                  VANTOREL_STRICT=1)\n"
      "  --depfile FILE  after a packed image, write to FILE the rule that Make and\n"
      "                  Ninja read: the image made from the configuration and\n"
      "                  every partition file\n"
      "  --help          print this text\n"
      "  --version       print the version\n"
      "\n"
      "See vantorel(1) for the configuration file. To check an image, run\n"
      "vantorel-inspect IMAGE; to see how a configuration reads before packing it,\n"
      "vantorel-inspect --config config_file.\n");
}

void PrintVersion() {
  WriteText("vantorel " + std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) +
            "." + std::to_string(kVersionPatch) + "\n");
}

void PrintErrorBanner() {
  WriteLine("========================");
  WriteLine("          Error!        ");
  WriteLine("========================");
  WriteLine("cannot generate new IoT file.");
}

}  // namespace vantorel
