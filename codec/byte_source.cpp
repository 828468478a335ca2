#include "codec/byte_source.h"

#include <algorithm>
#include <cstring>
#include <new>

#ifdef _WIN32
#include <windows.h>

#include <vector>
#endif

namespace cx::codec {
namespace {

// The C library's fseek/ftell take a long, which is 32 bits on Windows:
// files over 2 GiB need the 64-bit forms there.
int SeekFile(std::FILE* f, int64_t offset, int whence) {
#ifdef _WIN32
  return _fseeki64(f, offset, whence);
#else
  return fseeko(f, static_cast<off_t>(offset), whence);
#endif
}

// The C library reads narrow names in its own code page, which need not be
// the process's (UTF-8 where the program declares it): the name goes to the
// system in UTF-16, converted as the "A" functions convert it.
std::FILE* OpenForReading(const std::string& path) {
#ifdef _WIN32
  const int n = MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, nullptr, 0);
  if (n <= 0) return nullptr;
  std::vector<wchar_t> wide(static_cast<size_t>(n));
  if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, path.c_str(), -1, wide.data(), n) != n) return nullptr;
  return _wfopen(wide.data(), L"rb");
#else
  return std::fopen(path.c_str(), "rb");
#endif
}

int64_t TellFile(std::FILE* f) {
#ifdef _WIN32
  return _ftelli64(f);
#else
  return static_cast<int64_t>(ftello(f));
#endif
}

}  // namespace

std::unique_ptr<ByteSource> FileByteSource::Open(const std::string& path) {
  std::FILE* f = OpenForReading(path);
  if (!f) return nullptr;
  int64_t size = SeekFile(f, 0, SEEK_END) == 0 ? TellFile(f) : -1;
  if (size < 0) {
    std::fclose(f);
    return nullptr;
  }
  std::unique_ptr<ByteSource> source(new (std::nothrow) FileByteSource(f, size));
  if (!source) std::fclose(f);
  return source;
}

FileByteSource::~FileByteSource() { std::fclose(file_); }

size_t FileByteSource::ReadAt(int64_t offset, uint8_t* out, size_t n) {
  if (offset < 0 || offset >= size_ || n == 0) return 0;
  // Sequential reads need no seek; that keeps the C library's buffer.
  if (offset != position_ && SeekFile(file_, offset, SEEK_SET) != 0) {
    position_ = -1;
    return 0;
  }
  const size_t got = std::fread(out, 1, n, file_);
  position_ = got == n ? offset + static_cast<int64_t>(got) : -1;
  return got;
}

size_t MemoryByteSource::ReadAt(int64_t offset, uint8_t* out, size_t n) {
  if (offset < 0 || offset >= Size()) return 0;
  const size_t count = std::min(n, bytes_.size() - static_cast<size_t>(offset));
  if (count == 0) return 0;  // out may be null for an empty request
  std::memcpy(out, bytes_.data() + offset, count);
  return count;
}

SliceByteSource::SliceByteSource(std::unique_ptr<ByteSource> inner, int64_t offset, int64_t size)
    : inner_(std::move(inner)), offset_(offset), size_(0) {
  // Never more than the inner source holds behind the offset.
  if (inner_ && offset >= 0 && offset <= inner_->Size() && size > 0) size_ = std::min(size, inner_->Size() - offset);
}

size_t SliceByteSource::ReadAt(int64_t offset, uint8_t* out, size_t n) {
  if (!inner_ || offset < 0 || offset >= size_ || n == 0) return 0;
  const size_t left = static_cast<size_t>(size_ - offset);
  return inner_->ReadAt(offset_ + offset, out, n < left ? n : left);
}

}  // namespace cx::codec
