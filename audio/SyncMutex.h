// The lock that makes one source's reads, seeks and the stopping of its
// DirectSound feeding thread exclude each other. Each source has its own,
// unnamed: a lock shared by name would let any program of the session stall
// playback by holding it. Recursive, as the platform's mutex is.
#pragma once

#ifndef _WIN32
#include <mutex>
#endif

class SyncMutex {
 public:
  SyncMutex();
  ~SyncMutex();
  SyncMutex(const SyncMutex&) = delete;
  SyncMutex& operator=(const SyncMutex&) = delete;

  bool IsValid() const;
  void Lock();
  void Unlock();

 private:
#ifdef _WIN32
  void* handle_ = nullptr;
#else
  std::recursive_mutex mutex_;
#endif
};

class SyncGuard {
 public:
  explicit SyncGuard(SyncMutex& mutex) : mutex_(mutex) { mutex_.Lock(); }
  ~SyncGuard() { mutex_.Unlock(); }
  SyncGuard(const SyncGuard&) = delete;
  SyncGuard& operator=(const SyncGuard&) = delete;

 private:
  SyncMutex& mutex_;
};

