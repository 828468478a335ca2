#include "audio/DirectSoundPlayer.h"

#include <cstring>
#include <new>

#include "audio/StreamGeneration.h"
#include "common/CommandCodes.h"

namespace {

constexpr DWORD kStreamBufferFlags = DSBCAPS_CTRL3D | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                                     DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPOSITIONNOTIFY |
                                     DSBCAPS_GLOBALFOCUS | DSBCAPS_GETCURRENTPOSITION2;
static_assert(kStreamBufferFlags == 0x000181F0, "stream buffer flags");

// A locked stretch of the looping buffer, unlocked by its owner.
class BufferLock {
 public:
  BufferLock(IDirectSoundBuffer* buffer, DWORD offset, DWORD bytes) : buffer_(buffer) {
    ok_ = SUCCEEDED(buffer_->Lock(offset, bytes, &region1, &length1, &region2, &length2, 0));
  }
  ~BufferLock() {
    if (ok_) buffer_->Unlock(region1, length1, region2, length2);
  }
  BufferLock(const BufferLock&) = delete;
  BufferLock& operator=(const BufferLock&) = delete;
  bool ok() const { return ok_; }
  // Writes `silence` over everything from byte `from` of the two regions on.
  void FillFrom(DWORD from, uint8_t silence) {
    if (from < length1) std::memset(static_cast<uint8_t*>(region1) + from, silence, length1 - from);
    const DWORD in2 = from > length1 ? from - length1 : 0;
    if (region2 && in2 < length2) std::memset(static_cast<uint8_t*>(region2) + in2, silence, length2 - in2);
  }

  void* region1 = nullptr;
  void* region2 = nullptr;
  DWORD length1 = 0;
  DWORD length2 = 0;

 private:
  IDirectSoundBuffer* buffer_;
  bool ok_ = false;
};

// The block's lock, held for the life of the object when it could be taken
// within a short wait. A lock left by a program that died is taken too, but
// the block it guarded may be half-written: not held then.
class Shared3DLock {
 public:
  Shared3DLock() : mutex_(CreateMutexA(nullptr, FALSE, kShared3DLockName)) {
    if (!mutex_) return;
    const DWORD waited = WaitForSingleObject(mutex_.get(), kShared3DLockWaitMs);
    taken_ = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    held_ = waited == WAIT_OBJECT_0;
  }
  ~Shared3DLock() {
    if (taken_) ReleaseMutex(mutex_.get());
  }
  Shared3DLock(const Shared3DLock&) = delete;
  Shared3DLock& operator=(const Shared3DLock&) = delete;
  bool held() const { return held_; }

 private:
  UniqueHandle mutex_;
  bool taken_ = false;
  bool held_ = false;
};

// A view of the block "3DShareName" as Handset created it.
class Shared3DView {
 public:
  explicit Shared3DView(bool forWriting)
      : mapping_(OpenFileMappingA(forWriting ? FILE_MAP_WRITE : FILE_MAP_READ, FALSE, kShared3DName)),
        view_(mapping_.get(), forWriting ? FILE_MAP_WRITE : FILE_MAP_READ, sizeof(Shared3DBlock)) {}
  Shared3DBlock* block() const { return static_cast<Shared3DBlock*>(view_.get()); }

 private:
  UniqueHandle mapping_;
  MappedView view_;
};

}  // namespace

// ---- stream ----

DirectSoundStream::~DirectSoundStream() { ReleaseStream(); }

bool DirectSoundStream::InitStream(IDirectSound* directSound, MediaSource* source) {
  if (!directSound || !source || buffer_) return false;
  source_ = source;
  format_ = source->info().format;
  if (format_.avgBytesPerSec == 0 || format_.blockAlign == 0) return false;
  description_ = DSBUFFERDESC{};
  // The description without the 3D algorithm field (20 bytes in a 32-bit
  // build); DirectSound then picks its default 3D algorithm.
  description_.dwSize = sizeof(DSBUFFERDESC1);
  description_.dwFlags = kStreamBufferFlags;
  description_.dwBufferBytes = 2 * format_.avgBytesPerSec;
  description_.lpwfxFormat = reinterpret_cast<WAVEFORMATEX*>(&format_);
  if (FAILED(directSound->CreateSoundBuffer(&description_, &buffer_, nullptr))) {
    buffer_ = nullptr;
    return false;
  }
  wake_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  if (!wake_ || !CreateNotifications() ||
      FAILED(buffer_->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&buffer3D_)))) {
    buffer3D_ = nullptr;
    ReleaseStream();
    return false;
  }
  state_ = kStreamStopped;
  return true;
}

bool DirectSoundStream::CreateNotifications() {
  for (int i = 0; i < 2; ++i) {
    events_[i].Reset(CreateEventA(nullptr, FALSE, FALSE, nullptr));
    if (!events_[i]) return false;
  }
  positions_[0] = {0, events_[0].get()};
  positions_[1] = {description_.dwBufferBytes / 2, events_[1].get()};
  if (FAILED(buffer_->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify_)))) {
    notify_ = nullptr;
    return false;
  }
  if (FAILED(notify_->SetNotificationPositions(2, positions_))) {
    ReleaseAndClear(notify_);
    return false;
  }
  return true;
}

bool DirectSoundStream::SetStreamNotify(HWND window, UINT message) {
  if (!IsWindow(window)) return false;
  notifyWindow_ = window;
  notifyMessage_ = message;
  return true;
}

// Fills the half at `offset`: from the source while it delivers, silence for
// whatever it cannot. *ended tells that the source has run out.
bool DirectSoundStream::FillHalf(DWORD offset, DWORD play, bool fromSource, bool* ended) {
  BufferLock lock(buffer_, offset, format_.avgBytesPerSec);
  if (!lock.ok()) return false;
  const uint8_t silence = format_.bitsPerSample == 8 ? 0x80 : 0x00;
  uint32_t count = 0;
  *ended = !fromSource;
  const uint32_t from = source_->PositionMs();
  if (fromSource) {
    if (!source_->Read(0, lock.region1, lock.length1, lock.region2, lock.length2, &count)) count = 0;
    ++refills_;
    *ended = count < lock.length1 + lock.length2;
  }
  lock.FillFrom(count, silence);
  heard_.Queued(SoundsAt(offset, play), count, from, source_->PositionMs());
  return true;
}

namespace {

// How far the cursor moved from `last` to `play` round a buffer of `size`.
// Between two readings it moves by half the buffer at most; a step of more
// than three quarters is the cursor read a little behind an earlier reading
// (it jitters, and a stop may set it back to what was really played), not
// nearly a whole lap.
DWORD CursorStep(DWORD last, DWORD play, DWORD size) {
  const DWORD step = (play % size + size - last % size) % size;
  return step > size / 4 * 3 ? 0 : step;
}

}  // namespace

void DirectSoundStream::TrackCursor(DWORD play) {
  std::lock_guard<std::mutex> held(cursorLock_);
  const DWORD size = description_.dwBufferBytes;
  if (size == 0) return;
  const DWORD step = CursorStep(lastPlay_, play, size);
  if (step == 0) return;
  playedBytes_ += step;
  lastPlay_ = play;
}

uint64_t DirectSoundStream::PlayedBytesAt(DWORD play) const {
  std::lock_guard<std::mutex> held(cursorLock_);
  const DWORD size = description_.dwBufferBytes;
  return size == 0 ? playedBytes_ : playedBytes_ + CursorStep(lastPlay_, play, size);
}

// The half just played is refilled, so the cursor reaches it again after
// the other half: never at once.
uint64_t DirectSoundStream::SoundsAt(DWORD offset, DWORD play) const {
  const DWORD size = description_.dwBufferBytes;
  if (size == 0) return PlayedBytesAt(play);
  const DWORD ahead = (offset + size - play % size) % size;
  return PlayedBytesAt(play) + (ahead == 0 ? size : ahead);
}

uint32_t DirectSoundStream::HeardMs() {
  if (!source_) return 0;
  if (!buffer_ || !heard_.Started()) return source_->PositionMs();
  DWORD play = 0, write = 0;
  if (FAILED(buffer_->GetCurrentPosition(&play, &write))) return source_->PositionMs();
  return heard_.HeardMs(PlayedBytesAt(play));
}

bool DirectSoundStream::StartStream() {
  if (!buffer_ || thread_) return false;
  {
    // The first second comes from the source before anything plays; the
    // rest of its half is silence if the file is shorter.
    BufferLock lock(buffer_, 0, format_.avgBytesPerSec);
    if (!lock.ok()) return false;
    uint32_t count = 0;
    const uint32_t from = source_->PositionMs();
    heard_.Reset(from);
    {
      std::lock_guard<std::mutex> held(cursorLock_);
      playedBytes_ = 0;
      lastPlay_ = 0;
    }
    if (!source_->Read(0, lock.region1, lock.length1, lock.region2, lock.length2, &count)) return false;
    lock.FillFrom(count, format_.bitsPerSample == 8 ? 0x80 : 0x00);
    heard_.Queued(0, count, from, source_->PositionMs());
  }
  bool ended = false;
  // The second half starts silent; the cursor is at 0 when it plays.
  FillHalf(format_.avgBytesPerSec, 0, false, &ended);
  buffer_->SetCurrentPosition(0);
  heldNotices_ = 0;  // the feeding thread is not running yet
  if (!ResumeStream()) return false;
  stop_ = false;
  generation_ = NewStreamGeneration();
  ResetEvent(wake_.get());
  thread_.Reset(CreateThread(nullptr, 0, &DirectSoundStream::ThreadMain, this, 0, nullptr));
  if (!thread_) {
    PauseStream();
    return false;
  }
  SetThreadPriority(thread_.get(), THREAD_PRIORITY_HIGHEST);
  state_ = kStreamPlaying;
  return true;
}

DWORD WINAPI DirectSoundStream::ThreadMain(void* self) {
  auto* stream = static_cast<DirectSoundStream*>(self);
  stream->FeedLoop();
  // A stopped stream has not ended: nothing is posted.
  if (!stream->stop_ && stream->notifyWindow_) {
    PostMessageA(stream->notifyWindow_, stream->notifyMessage_, stream->generation_, 0);
  }
  return 0;
}

// The play cursor passing the start (event 0) means the second half has
// been played and can be refilled; passing the middle (event 1), the first.
// When the source runs out, the rest of that half is silence; every later
// half is silence too, so nothing stale is heard while the last data plays.
// When the event of the last filled half comes round again, that half has
// played in full and the buffer stops.
void DirectSoundStream::FeedLoop() {
  int endMarker = -1;
  const HANDLE waits[3] = {wake_.get(), events_[0].get(), events_[1].get()};
  const DWORD half = description_.dwBufferBytes / 2;
  while (!stop_) {
    const DWORD w = WaitForMultipleObjects(3, waits, FALSE, INFINITE);
    if (stop_ || w == WAIT_OBJECT_0 || w < WAIT_OBJECT_0 || w > WAIT_OBJECT_0 + 2) return;
    const int event = static_cast<int>(w - WAIT_OBJECT_0 - 1);
    DWORD play = 0, write = 0;
    if (FAILED(buffer_->GetCurrentPosition(&play, &write))) {
      buffer_->Stop();
      return;
    }
    TrackCursor(play);
    if (event == endMarker) {
      buffer_->Stop();
      return;
    }
    SyncGuard held(source_->syncMutex());
    if (holdFeed_) {
      heldNotices_ |= 1u << event;
      continue;
    }
    bool ended = false;
    if (!FillHalf(event == 0 ? half : 0, play, endMarker < 0, &ended)) return;
    if (ended && endMarker < 0) endMarker = event;
  }
}

bool DirectSoundStream::PauseStream() {
  if (!buffer_ || FAILED(buffer_->Stop())) return false;
  if (source_) {
    // Once this returns no read of the feeding thread is running, and none
    // starts until the resume: a seek made while paused stays where it was put.
    SyncGuard noRead(source_->syncMutex());
    holdFeed_ = true;
  }
  state_ = kStreamPaused;
  return true;
}

bool DirectSoundStream::ResumeStream() {
  if (!buffer_ || FAILED(buffer_->Play(0, 0, DSBPLAY_LOOPING))) return false;
  if (source_) {
    SyncGuard held(source_->syncMutex());
    holdFeed_ = false;
    for (int e = 0; e < 2; ++e) {
      if (heldNotices_ & (1u << e)) SetEvent(events_[e].get());
    }
    heldNotices_ = 0;
  }
  state_ = kStreamPlaying;
  return true;
}

void DirectSoundStream::StopStream() {
  PauseStream();
  if (thread_) {
    {
      // With the sync lock held no source read is running; the thread sees
      // the flag before it starts another.
      SyncGuard noRead(source_->syncMutex());
      stop_ = true;
      SetEvent(wake_.get());
    }
    WaitForSingleObject(thread_.get(), INFINITE);
    thread_.Reset();
  }
  generation_ = 0;  // an end notice still queued is of a run that is over
  // Nothing of the source is queued any more: until the next start the
  // heard position is the source's own.
  heard_.Reset(0);
  state_ = kStreamStopped;
}

void DirectSoundStream::ReleaseStream() {
  if (thread_) StopStream();
  ReleaseAndClear(buffer3D_);
  ReleaseAndClear(notify_);
  ReleaseAndClear(buffer_);
  for (UniqueHandle& e : events_) e.Reset();
  wake_.Reset();
  description_ = DSBUFFERDESC{};
  state_ = kStreamStopped;
}

bool DirectSoundStream::Apply3DValues(uint32_t mask, const Shared3DBlock& b) {
  if (!buffer3D_) return false;
  bool ok = true;
  if (mask & k3DDistances) {
    ok = SUCCEEDED(buffer3D_->SetMaxDistance(b.maxDistance, DS3D_IMMEDIATE)) && ok;
    ok = SUCCEEDED(buffer3D_->SetMinDistance(b.minDistance, DS3D_IMMEDIATE)) && ok;
  }
  if (mask & k3DPosition) {
    ok = SUCCEEDED(buffer3D_->SetPosition(b.positionX, b.positionY, b.positionZ, DS3D_IMMEDIATE)) && ok;
  }
  if (mask & k3DVelocity) {
    ok = SUCCEEDED(buffer3D_->SetVelocity(b.velocityX, b.velocityY, b.velocityZ, DS3D_IMMEDIATE)) && ok;
  }
  if (mask & k3DConeAngles) {
    ok = SUCCEEDED(buffer3D_->SetConeAngles(b.coneInsideAngle, b.coneOutsideAngle, DS3D_IMMEDIATE)) && ok;
  }
  return ok;
}

bool DirectSoundStream::Read3DValues(uint32_t mask, Shared3DBlock* b) {
  if (!buffer3D_) return false;
  bool ok = true;
  if (mask & k3DDistances) {
    D3DVALUE maxD = 0, minD = 0;
    ok = SUCCEEDED(buffer3D_->GetMaxDistance(&maxD)) && SUCCEEDED(buffer3D_->GetMinDistance(&minD));
    if (ok) {
      b->maxDistance = maxD;
      b->minDistance = minD;
    }
  }
  if (mask & k3DPosition) {
    D3DVECTOR v{};
    if (SUCCEEDED(buffer3D_->GetPosition(&v))) {
      b->positionX = v.x;
      b->positionY = v.y;
      b->positionZ = v.z;
    } else {
      ok = false;
    }
  }
  if (mask & k3DVelocity) {
    D3DVECTOR v{};
    if (SUCCEEDED(buffer3D_->GetVelocity(&v))) {
      b->velocityX = v.x;
      b->velocityY = v.y;
      b->velocityZ = v.z;
    } else {
      ok = false;
    }
  }
  if (mask & k3DConeAngles) {
    DWORD inside = 0, outside = 0;
    if (SUCCEEDED(buffer3D_->GetConeAngles(&inside, &outside))) {
      b->coneInsideAngle = inside;
      b->coneOutsideAngle = outside;
    } else {
      ok = false;
    }
  }
  return ok;
}

bool DirectSoundStream::Apply3D(uint32_t mask) {
  if (!buffer3D_) return false;
  Shared3DBlock copy;
  {
    Shared3DView view(false);
    if (!view.block()) return false;
    Shared3DLock lock;
    if (!lock.held()) return false;
    std::memcpy(&copy, view.block(), sizeof copy);
  }
  const uint32_t usable = Sanitize3DBlock(&copy, mask);
  return Apply3DValues(usable, copy) && usable == mask;
}

bool DirectSoundStream::Read3D(uint32_t mask) {
  if (!buffer3D_) return false;
  Shared3DView view(true);
  if (!view.block()) return false;
  Shared3DLock lock;
  if (!lock.held()) return false;
  Shared3DBlock copy;
  std::memcpy(&copy, view.block(), sizeof copy);
  const bool ok = Read3DValues(mask, &copy);
  std::memcpy(view.block(), &copy, sizeof copy);
  return ok;
}

// ---- device ----

DirectSoundDevice::~DirectSoundDevice() { ReleaseAll(); }

void DirectSoundDevice::ReleaseAll() {
  for (DirectSoundStream*& s : streams_) {
    delete s;  // the destructor releases the stream
    s = nullptr;
  }
  ReleaseAndClear(primary_);
  ReleaseAndClear(directSound_);
  captureCreate_ = nullptr;
  if (library_) FreeLibrary(library_);
  library_ = nullptr;
}

bool DirectSoundDevice::InitDevice(HWND window) {
  if (directSound_) return false;
  library_ = LoadLibraryA("dsound.dll");
  if (!library_) return false;
  auto create = reinterpret_cast<DirectSoundCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DirectSoundCreate")));
  captureCreate_ = reinterpret_cast<DirectSoundCaptureCreateFn>(
      reinterpret_cast<void*>(GetProcAddress(library_, "DirectSoundCaptureCreate")));
  primaryDescription_ = DSBUFFERDESC{};
  primaryDescription_.dwSize = sizeof(DSBUFFERDESC1);
  primaryDescription_.dwFlags = DSBCAPS_PRIMARYBUFFER;
  const bool ok = create && SUCCEEDED(create(nullptr, &directSound_, nullptr)) &&
                  SUCCEEDED(directSound_->SetCooperativeLevel(window, DSSCL_NORMAL)) &&
                  SUCCEEDED(directSound_->CreateSoundBuffer(&primaryDescription_, &primary_, nullptr));
  if (!ok) ReleaseAll();
  return ok;
}

DirectSoundStream* DirectSoundDevice::CreateStream(MediaSource* source) {
  if (!directSound_) return nullptr;
  if (streams_[0]) DestroyStream(streams_[0]);
  auto* stream = new (std::nothrow) DirectSoundStream;
  if (!stream) return nullptr;
  if (!stream->InitStream(directSound_, source)) {
    delete stream;
    return nullptr;
  }
  streams_[0] = stream;
  return stream;
}

bool DirectSoundDevice::DestroyStream(DirectSoundStream* stream) {
  for (DirectSoundStream*& s : streams_) {
    if (s && s == stream) {
      s->ReleaseStream();
      delete s;
      s = nullptr;
      return true;
    }
  }
  return false;
}

bool Handle3DCommand(DirectSoundStream* stream, uint16_t code, uint32_t groupMask) {
  if (!stream) return false;
  if (code == kCmdApply3D) return stream->Apply3D(groupMask);
  if (code == kCmdRead3D) return stream->Read3D(groupMask);
  return false;
}
