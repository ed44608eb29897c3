// The comparison of an image with its configuration. Partitions are paired
// by position: a partition added, removed or moved shows in the count and in
// the fields of every position it shifts.
#include "programs/vantorel-inspect/config_check.h"

#include <algorithm>
#include <cstdio>

#include "common/hex.h"
#include "config/packing_rules.h"
#include "machinery/buffer.h"
#include "platform/files.h"
#include "platform/system_error.h"
#include "programs/vantorel-inspect/messages.h"

namespace vantorel {
namespace {

std::string Flag(bool compressed) { return compressed ? "true" : "false"; }

std::string Sha1Text(const Sha1Digest& digest) { return "SHA-1 " + HexDigits(digest); }

// What a configured file holds, read up to one byte beyond `expectedSize`,
// and what the packing rules see of it.
struct FileContentDigest {
  bool readable = false;
  uint64_t size = 0;  // bytes read; expectedSize + 1 when the file holds more
  Sha1Digest digest{};
  PartitionFileFacts facts;
};

// A file that cannot be read for want of handles or memory is no finding
// about the file: the run cannot go on, as when memory runs out elsewhere.
Diagnostic CannotContinue(const std::string& why) {
  return Error(FailureKind::kMemory, "cannot continue: " + why);
}

// A read that fails is an I/O error, which says nothing about the image.
Outcome DigestFile(const std::string& path, uint64_t expectedSize, FileContentDigest& content) {
  InputFile file(path);
  if (file.LackedResources()) return CannotContinue("no file handle left to read " + path);
  Buffer buffer = AllocateBuffer(kPieceSize);
  if (!buffer) return CannotContinue("not enough memory");
  // A missing file is a finding; a file that is there and fails to open is
  // the system's failure.
  if (!file.IsOpen() && IdentityOfPath(path)) {
    return Error(FailureKind::kIo, "cannot open " + path)
        .Because(SystemErrorText(file.OpenError()));
  }
  content.facts = FactsOf(file);
  if (!file.IsOpen()) return {};
  content.readable = true;
  Sha1Context sha1;
  Sha1Init(sha1);
  for (uint64_t left = expectedSize + 1; left > 0;) {
    const auto wanted = static_cast<std::size_t>(std::min<uint64_t>(kPieceSize, left));
    const auto n = file.Read(buffer.get(), wanted);
    if (!n) {
      const std::string reason = LastSystemErrorText();
      return Error(FailureKind::kIo,
                   "cannot read " + path + " at offset " + std::to_string(content.size))
          .Because(reason);
    }
    Sha1Update(sha1, buffer.get(), static_cast<uint32_t>(*n));
    content.size += *n;
    left -= *n;
    if (*n < wanted) break;
  }
  Sha1Final(sha1, content.digest.data());
  return {};
}

void CompareEntry(std::size_t index, const PartitionSpec& configured,
                  const PartitionReport& partition, const FileContentDigest& file,
                  std::vector<ConfigFinding>& findings) {
  const PartitionEntry& e = partition.entry;
  const auto differ = [&](std::string field, std::string configured, std::string image) {
    if (configured != image) {
      findings.push_back({index, std::move(field), std::move(configured), std::move(image)});
    }
  };
  differ("Start_Address", HexWord(configured.startAddress), HexWord(e.startAddress));
  differ("Partition_Size", HexWord(configured.partitionSize), HexWord(e.partitionSize));
  differ("Is_Compressed", Flag(configured.isCompressed == 1), Flag(e.isCompressed == 1));
  const uint64_t originalSize = partition.originalSize.value_or(0);
  if (!file.readable) {
    findings.push_back(
        {index, "File", configured.path, "a partition the file cannot be read to check"});
  } else if (file.size != originalSize) {
    differ("size",
           file.size > originalSize ? "more than " + std::to_string(originalSize) + " bytes"
                                    : std::to_string(file.size) + " bytes",
           std::to_string(originalSize) + " bytes");
  } else if (partition.originalDigest) {
    differ("content", Sha1Text(file.digest), Sha1Text(*partition.originalDigest));
  }
}

}  // namespace

Outcome CompareWithConfiguration(const ImageReport& report, const PartitionList& list,
                                 std::vector<ConfigFinding>& findings) {
  if (list.size() != report.partitions.size()) {
    findings.push_back({std::nullopt, "partitions", std::to_string(list.size()),
                        std::to_string(report.partitions.size())});
  }
  // One file at a time: reading them is quick beside decoding, and a run
  // out of handles is then no matter of how many workers there are.
  const std::size_t paired = std::min(list.size(), report.partitions.size());
  std::vector<PartitionFileFacts> facts;
  for (std::size_t i = 0; i < paired; ++i) {
    const PartitionReport& partition = report.partitions[i];
    FileContentDigest file;
    if (Outcome outcome = DigestFile(list[i].path, partition.originalSize.value_or(0), file);
        !outcome.ok()) {
      return outcome;
    }
    CompareEntry(i, list[i], partition, file, findings);
    facts.push_back(file.facts);
  }
  // An image that matches field for field and byte for byte is one the
  // packer makes from these files as long as the image reader's checks and
  // the packing rules agree; the rules are asked all the same, so that a
  // match is the packer's verdict too. Their refusal is then the one finding.
  if (findings.empty()) {
    if (Outcome rules = CheckPackingRules(list, [&](std::size_t i) { return facts[i]; });
        !rules.ok()) {
      Diagnostic refusal = rules.failure();
      const std::optional<std::size_t> partition = refusal.where.partition;
      refusal.where = {};
      findings.push_back({partition, "packing rules", "refused (" + DiagnosticText(refusal) + ")",
                          "the partition as packed"});
    }
  }
  return {};
}

}  // namespace vantorel
