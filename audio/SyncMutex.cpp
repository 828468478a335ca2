#include "audio/SyncMutex.h"

#ifdef _WIN32
#include <windows.h>

SyncMutex::SyncMutex() { handle_ = CreateMutexA(nullptr, FALSE, nullptr); }

SyncMutex::~SyncMutex() {
  if (handle_) CloseHandle(handle_);
}

bool SyncMutex::IsValid() const { return handle_ != nullptr; }

void SyncMutex::Lock() {
  if (handle_) WaitForSingleObject(handle_, INFINITE);
}

void SyncMutex::Unlock() {
  if (handle_) ReleaseMutex(handle_);
}

#else

SyncMutex::SyncMutex() = default;
SyncMutex::~SyncMutex() = default;
bool SyncMutex::IsValid() const { return true; }
void SyncMutex::Lock() { mutex_.lock(); }
void SyncMutex::Unlock() { mutex_.unlock(); }

#endif
