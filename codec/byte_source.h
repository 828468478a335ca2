// Where the decoder's bytes come from: a file (opened once, 64-bit offsets
// on every platform) or a block of memory (tests, fuzzing). Readers ask for
// bytes at an offset; nothing keeps a position of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace cx::codec {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  virtual int64_t Size() const = 0;
  // Copies up to n bytes from the offset on; returns how many were copied
  // (fewer only at the end of the data or on a read error).
  virtual size_t ReadAt(int64_t offset, uint8_t* out, size_t n) = 0;
};

class FileByteSource : public ByteSource {
 public:
  // Null when the file cannot be opened or its size cannot be found.
  static std::unique_ptr<ByteSource> Open(const std::string& path);
  ~FileByteSource() override;
  FileByteSource(const FileByteSource&) = delete;
  FileByteSource& operator=(const FileByteSource&) = delete;

  int64_t Size() const override { return size_; }
  size_t ReadAt(int64_t offset, uint8_t* out, size_t n) override;

 private:
  FileByteSource(std::FILE* file, int64_t size) : file_(file), size_(size) {}

  std::FILE* file_;
  int64_t size_;
  int64_t position_ = -1;  // where the stream stands; -1 unknown
};

// A stretch of another source (a chunk of a container), seen from its
// first byte; it owns the source it looks into.
class SliceByteSource : public ByteSource {
 public:
  SliceByteSource(std::unique_ptr<ByteSource> inner, int64_t offset, int64_t size);
  int64_t Size() const override { return size_; }
  size_t ReadAt(int64_t offset, uint8_t* out, size_t n) override;

 private:
  std::unique_ptr<ByteSource> inner_;
  int64_t offset_;
  int64_t size_;
};

class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
  int64_t Size() const override { return static_cast<int64_t>(bytes_.size()); }
  size_t ReadAt(int64_t offset, uint8_t* out, size_t n) override;

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace cx::codec
