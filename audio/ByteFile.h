// A file opened for reading or writing by offset, with the sharing rules the
// WAV reader and writer need: the platform's file handle on Windows, a file
// descriptor elsewhere so the WAV code can be tested natively.
#pragma once

#include <cstdint>

class ByteFile {
 public:
  ByteFile() = default;
  ~ByteFile() { Close(); }
  ByteFile(const ByteFile&) = delete;
  ByteFile& operator=(const ByteFile&) = delete;

  // Existing files only, read-only, others may read too.
  bool OpenRead(const char* path);
  // Always a new file (an existing one is replaced), not shared.
  bool CreateWrite(const char* path);
  bool IsOpen() const;
  void Close();

  // Reads up to n bytes at the file pointer; *got receives how many arrived
  // (fewer at the end of the file). False only on an error.
  bool Read(void* buffer, uint32_t n, uint32_t* got);
  bool Write(const void* buffer, uint32_t n, uint32_t* written);
  bool SeekTo(uint64_t offset);
  bool SeekToEnd(uint64_t* length);
  bool Size(uint64_t* size);

  static bool Delete(const char* path);

 private:
#ifdef _WIN32
  void* handle_ = reinterpret_cast<void*>(-1);
#else
  int fd_ = -1;
#endif
};
