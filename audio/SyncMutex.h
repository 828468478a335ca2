// The one lock that makes source reads, seeks and the stopping of a
// DirectSound feeding thread exclude each other. On Windows it is the named
// mutex every source opens by the same name; elsewhere one process-wide
// recursive mutex, which behaves the same within a process.
#pragma once

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

constexpr char kSyncMutexName[] = "Local\\VexSyncMutexObject";
