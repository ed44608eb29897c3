// Where bytes go, in order: a file being written, an encoder, a test's
// buffer. The image reader hands each partition's original bytes to one,
// and a flash encoder writes its records to one.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/files.h"

namespace vantorel {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // False when the bytes could not be kept; where the system refused them,
  // its error of the calling thread says why.
  virtual bool Write(const uint8_t* data, std::size_t length) = 0;
};

class FileSink : public ByteSink {
 public:
  explicit FileSink(OutputFile& file) : file_(file) {}
  bool Write(const uint8_t* data, std::size_t length) override { return file_.Write(data, length); }

 private:
  OutputFile& file_;
};

}  // namespace vantorel
