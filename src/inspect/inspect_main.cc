// vantorel-inspect: reads an update image back, verifies it, and extracts
// its partitions. Exit status 0 when the image is sound, 1 when it is not
// (or cannot be read), 2 on misuse.
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/extract.h"
#include "inspect/image_reader.h"
#include "inspect/report.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/program.h"
#include "platform/text.h"
#include "platform/threads.h"

namespace {

constexpr int kSound = 0;
constexpr int kNotSound = 1;
constexpr int kUsageError = 2;

constexpr const char kUsage[] =
    "usage: vantorel-inspect [--json] [--extract DIR [--force]] IMAGE\n"
    "  Verifies an update image: header, entries, offsets, digests and the\n"
    "  compressed streams. Exit status 0 when it is sound, 1 when it is not.\n"
    "  --extract DIR  write each partition's original bytes to DIR/partition-N.bin\n"
    "  --force        overwrite files that --extract would write\n"
    "  --json         print the report as JSON\n"
    "  -h, --help     print this text\n";

struct Options {
  std::string image;
  std::string extractDirectory;
  bool force = false;
  bool json = false;
  bool help = false;
  unsigned workers = 0;
};

bool ParseOptions(int argc, char** argv, Options& options) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help") {
      options.help = true;
    } else if (argument == "--json") {
      options.json = true;
    } else if (argument == "--force") {
      options.force = true;
    } else if (argument == "--extract" && i + 1 < argc) {
      options.extractDirectory = argv[++i];
    } else if (argument.starts_with("-") && argument != "-") {
      std::fprintf(stderr, "vantorel-inspect: unknown or incomplete option %s\n", argv[i]);
      return false;
    } else if (options.image.empty()) {
      options.image = argument;
    } else {
      std::fprintf(stderr, "vantorel-inspect: one image at a time (%s)\n", argv[i]);
      return false;
    }
  }
  if (options.image.empty() && !options.help) {
    std::fprintf(stderr, "vantorel-inspect: no image given\n");
    return false;
  }
  return true;
}

class FileSource : public vantorel::ByteSource {
 public:
  FileSource(vantorel::InputFile& file, uint64_t size) : file_(file), size_(size) {}
  std::optional<std::size_t> ReadAt(uint64_t offset, uint8_t* buffer,
                                    std::size_t capacity) override {
    return file_.ReadAt(offset, buffer, capacity);
  }
  uint64_t Size() const override { return size_; }

 private:
  vantorel::InputFile& file_;
  uint64_t size_;
};

struct Inspected {
  vantorel::ImageReport report;
  std::optional<vantorel::FileIdentity> identity;  // of the image file
};

// Inspects the image once, handing partitions to the sink if there is one.
std::optional<Inspected> Inspect(const std::string& path, unsigned workers,
                                 vantorel::PartitionSink* sink) {
  vantorel::InputFile file(path);
  const auto size = file.IsOpen() ? file.Size() : std::nullopt;
  if (!size) {
    std::fprintf(stderr, "vantorel-inspect: cannot read %s as a file\n", path.c_str());
    return std::nullopt;
  }
  FileSource source(file, *size);
  vantorel::Progress progress;
  vantorel::InspectOptions options;
  options.workers = workers;
  options.sink = sink;
  options.progress = &progress;
  return Inspected{vantorel::InspectImage(source, options), file.Identity()};
}

// Refuses targets that exist (unless forced) and, always, a target that is
// the image itself: putting a partition in its place would destroy it.
bool TargetsMayBeReplaced(const Options& options, const Inspected& image) {
  for (std::size_t i = 0; i < image.report.partitionCount; ++i) {
    const std::string target = vantorel::ExtractedFileName(options.extractDirectory, i);
    const auto existing = vantorel::IdentityOfEntry(target);
    if (!existing) continue;
    if (existing == image.identity) {
      std::fprintf(stderr, "vantorel-inspect: %s is the image being read; nothing extracted\n",
                   target.c_str());
      return false;
    }
    if (!options.force) {
      std::fprintf(stderr, "vantorel-inspect: %s exists; nothing extracted (--force overwrites)\n",
                   target.c_str());
      return false;
    }
  }
  return true;
}

int Extract(const Options& options, const Inspected& image) {
  if (!vantorel::EnsureDirectory(options.extractDirectory)) {
    std::fprintf(stderr, "vantorel-inspect: cannot create folder %s\n",
                 options.extractDirectory.c_str());
    return kNotSound;
  }
  if (!TargetsMayBeReplaced(options, image)) return kNotSound;
  vantorel::DirectorySink sink(options.extractDirectory);
  const auto again = Inspect(options.image, options.workers, &sink);
  if (!again || !again->report.Sound()) {
    const bool known = again && again->report.problem;
    std::fprintf(stderr, "vantorel-inspect: extraction failed%s%s\n", known ? ": " : "",
                 known ? again->report.problem->what.c_str() : "");
    return kNotSound;
  }
  for (std::size_t i = 0; i < image.report.partitionCount && !options.json; ++i) {
    std::printf("extracted %s\n", vantorel::ExtractedFileName(options.extractDirectory, i).c_str());
  }
  return kSound;
}

}  // namespace

int main(int argc, char** argv) {
  vantorel::OpenClosedStandardStreams();
  Options options;
  if (!ParseOptions(argc, argv, options)) {
    std::fputs(kUsage, stderr);
    return kUsageError;
  }
  if (options.help) {
    std::fputs(kUsage, stdout);
    return kSound;
  }
  const vantorel::WorkerChoice workers = vantorel::ChooseWorkers();
  if (!workers.workers) {
    std::fprintf(stderr, "vantorel-inspect: %s\n",
                 vantorel::Utf8ForDisplay(workers.refusal).c_str());
    return kUsageError;
  }
  options.workers = *workers.workers;
  const auto image = Inspect(options.image, options.workers, nullptr);
  if (!image) return kNotSound;
  const std::string text = options.json ? vantorel::FormatReportJson(options.image, image->report)
                                        : vantorel::FormatReportText(options.image, image->report);
  std::fputs(text.c_str(), stdout);
  if (!image->report.Sound()) return kNotSound;
  if (!options.extractDirectory.empty()) return Extract(options, *image);
  return kSound;
}
