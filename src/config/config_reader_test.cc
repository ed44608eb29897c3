#include "config/config_reader.h"

#include <gtest/gtest.h>

#include "platform/utf8.h"
#include "test_support/temp_dir.h"

namespace vantorel {
namespace {

using ::vantorel::testing::TempDir;

struct Reading {
  int status;
  std::string output;
  PartitionList list;
};

}  // namespace

void PrintTo(const PartitionSpec& partition, std::ostream* out) {
  *out << "{" << partition.path << ", " << partition.startAddress << ", " << partition.partitionSize
       << ", " << partition.isCompressed << "}";
}

namespace {

Reading ReadConfigAt(const std::string& path) {
  Reading reading;
  ::testing::internal::CaptureStdout();
  reading.status = ReadConfiguration(DecodeUtf8(path, InvalidUtf8::kEscape), reading.list);
  reading.output = ::testing::internal::GetCapturedStdout();
  return reading;
}

std::string Lines(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

std::string DebugLine(const std::string& path) {
  return "[debug]GetPrivateProfileSectionNames, configFile = " + path;
}

const char kExample[] =
    "[General Setting]\nBase_Directory=D:\\fw\n[Bootloader]\nFile=boot.bin\n[Application]\n"
    "File=app.bin\nStart_Address=0x10000\nPartition_Size=0x80000\nIs_Compressed=true\n"
    "[Resources]\nFile=res.bin\nStart_Address=589824\nPartition_Size=0x20000\n"
    "Is_Compressed=false\n";

TEST(ConfigReader, ExampleFileGivesItsRecordsAndLines) {
  TempDir dir;
  const std::string path = dir.Write("cfg.ini", kExample);
  const Reading reading = ReadConfigAt(path);
  EXPECT_EQ(reading.status, kConfigOk);
  EXPECT_EQ(reading.output,
            Lines({DebugLine(path), "sectionNames = General Setting", "sectionNames = Bootloader",
                   "sectionNames = Application", "sectionNames = Resources", "Packaging...",
                   "Read general setting...", "Base directory is D:\\fw\\",
                   "Read bootloader/ ext-bootloader...", "Start_address = 65536",
                   "Partition_Size = 524288", "Is_Compressed = 1", "[Application]",
                   "Start_address = 589824", "Partition_Size = 131072", "Is_Compressed = 0",
                   "[Resources]", ""}));
  EXPECT_EQ(reading.list, (PartitionList{{"D:\\fw\\app.bin", 65536, 524288, 1},
                                         {"D:\\fw\\res.bin", 589824, 131072, 0}}));
}

std::string Partition(const std::string& name, const std::string& file,
                      const std::string& compressed = "false", const std::string& start = "1",
                      const std::string& size = "2") {
  return "[" + name + "]\nFile=" + file + "\nStart_Address=" + start + "\nPartition_Size=" + size +
         "\nIs_Compressed=" + compressed + "\n";
}

// Decisions of the section walk: the status, the records, and the lines the
// reader prints after "Packaging...".
TEST(ConfigReader, SectionWalkDecisions) {
  const std::string kFull = "File=x\nStart_Address=1\nPartition_Size=2\nIs_Compressed=true\n";
  const struct {
    const char* label;
    std::string content;
    int status;
    PartitionList list;
    std::vector<std::string> linesAfterPackaging;
  } kCases[] = {
      {"passed-over sections, even complete ones",
       "[Bootloader]\n" + kFull + "[Ext-Bootloader]\n" + kFull + "[SerialFlash]\n[FlashMap]\n" +
           "[NorFlash_A]\n" + Partition("App", "a.bin"),
       kConfigOk,
       {{"a.bin", 1, 2, 0}},
       {"Read bootloader/ ext-bootloader...", "Read bootloader/ ext-bootloader...",
        "Read bootloader/ ext-bootloader...", "Read bootloader/ ext-bootloader...",
        "Read bootloader/ ext-bootloader...", "Start_address = 1", "Partition_Size = 2",
        "Is_Compressed = 0", "[App]", ""}},
      {"a complete Bootloader that is last is packed",
       Partition("App", "a.bin") + "[Bootloader]\n" + kFull,
       kConfigOk,
       {{"a.bin", 1, 2, 0}, {"x", 1, 2, 1}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 0", "[App]",
        "Start_address = 1", "Partition_Size = 2", "Is_Compressed = 1", "[Bootloader]", ""}},
      {"an incomplete Bootloader that is last fails",
       Partition("App", "a.bin") + "[Bootloader]\nFile=boot.bin\n",
       kPartitionSectionFailed,
       {{"a.bin", 1, 2, 0}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 0", "[App]"}},
      {"General Setting that is last is read as a partition",
       Partition("App", "a.bin") + "[General Setting]\nBase_Directory=fw\n",
       kPartitionSectionFailed,
       {{"a.bin", 1, 2, 0}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 0", "[App]"}},
      {"only General Setting",
       "[General Setting]\nBase_Directory=fw\n",
       kPartitionSectionFailed,
       {},
       {}},
      {"one complete section",
       Partition("Anything", "fw/app.bin", "true"),
       kConfigOk,
       {{"fw/app.bin", 1, 2, 1}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 1", "[Anything]", ""}},
      {"no sections", "File=a.bin\n", kPartitionSectionFailed, {}, {}},
      {"names compared with exact case",
       "[bootloader]\n[General Setting]\nBase_Directory=fw\n" + Partition("App", "a"),
       kPartitionSectionFailed,
       {},
       {}},
      {"base directory only for partitions after it",
       Partition("Before", "b.bin") + "[General Setting]\nBase_Directory=fw\n" +
           Partition("After", "a.bin"),
       kConfigOk,
       {{"b.bin", 1, 2, 0}, {"fw\\a.bin", 1, 2, 0}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 0", "[Before]",
        "Read general setting...", "Base directory is fw\\", "Start_address = 1",
        "Partition_Size = 2", "Is_Compressed = 0", "[After]", ""}},
      {"base directory ending in a backslash",
       "[General Setting]\nBase_Directory=fw\\\n" + Partition("A", "a"),
       kConfigOk,
       {{"fw\\a", 1, 2, 0}},
       {}},
      {"base directory ending in a slash",
       "[General Setting]\nBase_Directory=fw/\n" + Partition("B", "/abs/b"),
       kConfigOk,
       {{"fw/\\/abs/b", 1, 2, 0}},
       {}},
      {"empty base directory",
       "[General Setting]\nBase_Directory=\n" + Partition("A", "a"),
       kGeneralSettingFailed,
       {},
       {"Read general setting..."}},
      {"compression flag and number values",
       Partition("A", "a", "True", "-1", "0x1000") + Partition("B", "b", "1", "010", "12kB") +
           Partition("C", "c", "yes", "08", "abc") +
           Partition("D", "d", "true", "4294967296", "00000000000000000019"),
       kConfigOk,
       {{"a", 4294967295u, 4096, 0}, {"b", 8, 12, 0}, {"c", 0, 0, 0}, {"d", 4294967295u, 1, 1}},
       {}},
      {"empty compression flag",
       Partition("A", "a", ""),
       kPartitionSectionFailed,
       {},
       {"Start_address = 1", "Partition_Size = 2"}},
      {"missing key in the middle",
       Partition("A", "a") + "[B]\nFile=b\nStart_Address=7\nIs_Compressed=true\n" +
           Partition("C", "c"),
       kPartitionSectionFailed,
       {{"a", 1, 2, 0}},
       {"Start_address = 1", "Partition_Size = 2", "Is_Compressed = 0", "[A]",
        "Start_address = 7"}},
      {"five partitions",
       Partition("P1", "1") + Partition("P2", "2") + Partition("P3", "3") + Partition("P4", "4") +
           Partition("P5", "5"),
       kConfigOk,
       {{"1", 1, 2, 0}, {"2", 1, 2, 0}, {"3", 1, 2, 0}, {"4", 1, 2, 0}, {"5", 1, 2, 0}},
       {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.label);
    TempDir dir;
    const Reading reading = ReadConfigAt(dir.Write("cfg.ini", c.content));
    EXPECT_EQ(reading.status, c.status);
    EXPECT_EQ(reading.list, c.list);
    if (!c.linesAfterPackaging.empty()) {
      const std::string after = reading.output.substr(reading.output.find("Packaging...\n") + 13);
      EXPECT_EQ(after, Lines(c.linesAfterPackaging));
    }
  }
}

TEST(ConfigReader, NamesBeyondTheListAreNeverSeen) {
  // 14 names of 9 characters fill 140 positions; the list holds 120.
  std::string content;
  for (int i = 10; i < 24; ++i) content += Partition("Section" + std::to_string(i), "f");
  TempDir dir;
  const Reading reading = ReadConfigAt(dir.Write("cfg.ini", content));
  EXPECT_EQ(reading.status, kPartitionSectionFailed);  // the cut name names no section
  EXPECT_EQ(reading.list.size(), 11u);
  EXPECT_NE(reading.output.find("sectionNames = Section20\nsectionNames = Section2\nPackaging"),
            std::string::npos);
}

TEST(ConfigReader, PathLongerThan255BytesIsRefused) {
  TempDir dir;
  const std::string longName(250, 'n');
  const Reading reading = ReadConfigAt(dir.Write(
      "cfg.ini", "[General Setting]\nBase_Directory=folder\n" + Partition("App", longName)));
  EXPECT_EQ(reading.status, kPartitionSectionFailed);
  EXPECT_TRUE(reading.list.empty());
  EXPECT_NE(reading.output.find("\n\n[App] partition file path is longer than 255 bytes: folder\\" +
                                longName + "\n"),
            std::string::npos);
}

}  // namespace
}  // namespace vantorel
