// Rendering of inspection reports: a table for people, JSON (always valid
// UTF-8) for build pipelines.
#include "inspect/report.h"

#include <cstdio>

#include "platform/utf8.h"

namespace vantorel {
namespace {

const char* DigestText(DigestStatus status) {
  switch (status) {
    case DigestStatus::kOk:
      return "ok";
    case DigestStatus::kBad:
      return "BAD";
    case DigestStatus::kNotChecked:
      break;
  }
  return "unchecked";
}

std::string Format(const char* format, auto... values) {
  char line[256];
  std::snprintf(line, sizeof line, format, values...);
  return line;
}

std::string Ratio(const PartitionReport& p) {
  if (!p.originalSize) return "-";
  if (*p.originalSize == 0) return "-";
  return Format("%.1f%%", 100.0 * p.entry.dataLength / static_cast<double>(*p.originalSize));
}

// A JSON string is UTF-8: bytes of a path that are not become U+FFFD.
std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : ReplaceInvalidUtf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      out += Format("\\u%04x", c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

}  // namespace

std::string FormatReportText(const std::string& imagePath, const ImageReport& report) {
  std::string text = "image: " + imagePath + " (" + std::to_string(report.fileSize) + " bytes)\n";
  if (report.hasMagic) {
    text += "magic: 4D 4D 4D 00\npartitions: " + std::to_string(report.partitionCount) + "\n";
    text += std::string("header digest: ") + DigestText(report.headerDigest) + "\n";
  }
  if (!report.partitions.empty()) {
    text += Format("\n%-3s %-10s %-10s %10s %10s  %-10s %10s %7s  %s\n", "#", "start", "size",
                   "offset", "length", "kind", "original", "ratio", "digest");
    for (const PartitionReport& p : report.partitions) {
      const std::string original = p.originalSize ? std::to_string(*p.originalSize) : "-";
      text += Format("%-3zu 0x%08X 0x%08X %10u %10u  %-10s %10s %7s  %s\n", p.index,
                     p.entry.startAddress, p.entry.partitionSize, p.entry.dataOffset,
                     p.entry.dataLength, p.entry.isCompressed ? "compressed" : "plain",
                     original.c_str(), Ratio(p).c_str(), DigestText(p.digest));
    }
  }
  text += "\n";
  if (report.Sound()) return text + "image is sound\n";
  if (!report.hasMagic) text += "unfinished image: no magic at byte 0\n";
  const Problem& problem = *report.problem;
  text += "problem at byte " + std::to_string(problem.offset) + ": " + problem.what + "\n";
  text += "  expected: " + problem.expected + "\n  found:    " + problem.found + "\n";
  return text + "image is NOT sound\n";
}

std::string FormatReportJson(const std::string& imagePath, const ImageReport& report) {
  std::string json = "{\n  \"image\": " + JsonString(imagePath) +
                     ",\n  \"size\": " + std::to_string(report.fileSize) +
                     ",\n  \"sound\": " + (report.Sound() ? "true" : "false") +
                     ",\n  \"unfinished\": " + (report.hasMagic ? "false" : "true") +
                     ",\n  \"partitionCount\": " + std::to_string(report.partitionCount) +
                     ",\n  \"headerDigest\": " + JsonString(DigestText(report.headerDigest)) +
                     ",\n  \"partitions\": [";
  for (const PartitionReport& p : report.partitions) {
    json += std::string(p.index ? "," : "") + "\n    {\"index\": " + std::to_string(p.index) +
            ", \"startAddress\": " + std::to_string(p.entry.startAddress) +
            ", \"partitionSize\": " + std::to_string(p.entry.partitionSize) +
            ", \"dataOffset\": " + std::to_string(p.entry.dataOffset) +
            ", \"dataLength\": " + std::to_string(p.entry.dataLength) +
            ", \"compressed\": " + (p.entry.isCompressed ? "true" : "false") +
            ", \"originalSize\": " + (p.originalSize ? std::to_string(*p.originalSize) : "null") +
            ", \"digest\": " + JsonString(DigestText(p.digest)) + "}";
  }
  json += report.partitions.empty() ? "],\n" : "\n  ],\n";
  if (report.problem) {
    const Problem& problem = *report.problem;
    json += "  \"problem\": {\"offset\": " + std::to_string(problem.offset) +
            ", \"what\": " + JsonString(problem.what) +
            ", \"expected\": " + JsonString(problem.expected) +
            ", \"found\": " + JsonString(problem.found) + "}\n";
  } else {
    json += "  \"problem\": null\n";
  }
  return json + "}\n";
}

}  // namespace vantorel
