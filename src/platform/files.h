// Files by narrow path, as the image writer and the profile reader use them.
// Every file is closed by its owner's destructor; OutputFile::Close reports
// what the destructor could only ignore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace vantorel {

class InputFile {
 public:
  // Opens an existing file for reading, sharing it with other readers and
  // writers. Check IsOpen.
  explicit InputFile(const std::string& path);
  ~InputFile();
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;

  bool IsOpen() const;
  // Fills the buffer up to its capacity or to the end of the file; the byte
  // count, or nullopt on a read error.
  std::optional<std::size_t> Read(uint8_t* buffer, std::size_t capacity);
  // The size of the open file; nullopt when it cannot be told.
  std::optional<uint64_t> Size() const;

 private:
  intptr_t handle_;
};

class OutputFile {
 public:
  // Creates the file, or truncates an existing one. Check IsOpen.
  explicit OutputFile(const std::string& path);
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool IsOpen() const;
  bool SeekTo(uint64_t offset);
  bool Write(const uint8_t* data, std::size_t length);
  // Flushes and closes; false when anything written may not have arrived.
  bool Close();

 private:
  intptr_t handle_;
};

// Reads a whole file; nullopt when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// True when both paths name one existing file, however each is spelled.
bool IsSameFile(const std::string& first, const std::string& second);

}  // namespace vantorel

namespace vantorel {

bool PathExists(const std::string& path);
// Creates one folder; true when it exists afterwards.
bool EnsureDirectory(const std::string& path);

}  // namespace vantorel
