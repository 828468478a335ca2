#include "audio/ByteFile.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef _WIN32

bool ByteFile::OpenRead(const char* path) {
  Close();
  handle_ = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool ByteFile::CreateWrite(const char* path) {
  Close();
  handle_ = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return IsOpen();
}

bool ByteFile::IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

void ByteFile::Close() {
  if (IsOpen()) CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
}

bool ByteFile::Read(void* buffer, uint32_t n, uint32_t* got) {
  DWORD done = 0;
  *got = 0;
  if (!IsOpen() || !ReadFile(handle_, buffer, n, &done, nullptr)) return false;
  *got = done;
  return true;
}

bool ByteFile::Write(const void* buffer, uint32_t n, uint32_t* written) {
  DWORD done = 0;
  *written = 0;
  if (!IsOpen() || !WriteFile(handle_, buffer, n, &done, nullptr)) return false;
  *written = done;
  return true;
}

bool ByteFile::SeekTo(uint64_t offset) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return IsOpen() && SetFilePointerEx(handle_, to, nullptr, FILE_BEGIN);
}

bool ByteFile::SeekToEnd(uint64_t* length) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  if (!IsOpen() || !SetFilePointerEx(handle_, zero, &at, FILE_END)) return false;
  *length = static_cast<uint64_t>(at.QuadPart);
  return true;
}

bool ByteFile::Size(uint64_t* size) {
  LARGE_INTEGER s;
  if (!IsOpen() || !GetFileSizeEx(handle_, &s)) return false;
  *size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

bool ByteFile::Delete(const char* path) { return DeleteFileA(path) != 0; }

#else

bool ByteFile::OpenRead(const char* path) {
  Close();
  fd_ = open(path, O_RDONLY);
  struct stat st;
  if (fd_ >= 0 && (fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode))) Close();
  return IsOpen();
}

bool ByteFile::CreateWrite(const char* path) {
  Close();
  fd_ = open(path, O_RDWR | O_CREAT | O_TRUNC, 0644);
  return IsOpen();
}

bool ByteFile::IsOpen() const { return fd_ >= 0; }

void ByteFile::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ByteFile::Read(void* buffer, uint32_t n, uint32_t* got) {
  *got = 0;
  if (!IsOpen()) return false;
  uint8_t* to = static_cast<uint8_t*>(buffer);
  while (*got < n) {
    ssize_t r = read(fd_, to + *got, n - *got);
    if (r < 0) return false;
    if (r == 0) break;
    *got += static_cast<uint32_t>(r);
  }
  return true;
}

bool ByteFile::Write(const void* buffer, uint32_t n, uint32_t* written) {
  *written = 0;
  if (!IsOpen()) return false;
  const uint8_t* from = static_cast<const uint8_t*>(buffer);
  while (*written < n) {
    ssize_t w = write(fd_, from + *written, n - *written);
    if (w <= 0) return false;
    *written += static_cast<uint32_t>(w);
  }
  return true;
}

bool ByteFile::SeekTo(uint64_t offset) {
  return IsOpen() && lseek(fd_, static_cast<off_t>(offset), SEEK_SET) >= 0;
}

bool ByteFile::SeekToEnd(uint64_t* length) {
  if (!IsOpen()) return false;
  off_t at = lseek(fd_, 0, SEEK_END);
  if (at < 0) return false;
  *length = static_cast<uint64_t>(at);
  return true;
}

bool ByteFile::Size(uint64_t* size) {
  struct stat st;
  if (!IsOpen() || fstat(fd_, &st) != 0) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool ByteFile::Delete(const char* path) { return unlink(path) == 0; }

#endif
