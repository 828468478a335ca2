#include "audio/MediaSource.h"

#include <cstring>
#include <new>

#include "audio/MpegDecoder.h"

namespace {

bool SameTextIgnoringCase(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char ca = *a, cb = *b;
    if (ca >= 'a' && ca <= 'z') ca = static_cast<char>(ca - 'a' + 'A');
    if (cb >= 'a' && cb <= 'z') cb = static_cast<char>(cb - 'a' + 'A');
    if (ca != cb) return false;
  }
  return *a == *b;
}

// The file's name without directory and without its last extension, cut to
// what the title field holds. A path without a backslash gives no title.
void TitleFromPath(const char* path, char* title) {
  title[0] = '\0';
  const char* slash = std::strrchr(path, '\\');
  if (!slash) return;
  std::strncpy(title, slash + 1, kMediaTextSize - 1);
  title[kMediaTextSize - 1] = '\0';
  if (char* dot = std::strrchr(title, '.')) *dot = '\0';
}

}  // namespace

uint32_t MediaKindOfPath(const char* path) {
  const char* dot = path ? std::strrchr(path, '.') : nullptr;
  if (!dot) return 0;
  static const struct {
    const char* extension;
    uint32_t kind;
  } kKinds[] = {
      {".WAV", kMediaWav},  {".MP1", kMediaMpeg}, {".MP2", kMediaMpeg}, {".MP3", kMediaMpeg},
      {".MPA", kMediaMpeg}, {".MID", kMediaMidi}, {".RMI", kMediaMidi},
  };
  for (const auto& k : kKinds) {
    if (SameTextIgnoringCase(dot, k.extension)) return k.kind;
  }
  return 0;
}

MediaSource::MediaSource() { std::memset(&info_, 0, sizeof info_); }

MediaSource::~MediaSource() { CloseMedia(); }

bool MediaSource::OpenMedia(const char* path) {
  const uint32_t kind = MediaKindOfPath(path);
  if (kind == 0 || file_.IsOpen() || delegate_) return false;
  if (kind != kMediaWav && kind != kMediaMpeg) return false;
  if (!file_.OpenRead(path)) return false;

  std::memset(&info_, 0, sizeof info_);
  dataStart_ = 0;
  TitleFromPath(path, info_.title);
  if (kind == kMediaWav) {
    if (ParseWavHeader()) {
      delegate_ = this;
      readPos_ = dataStart_;
      info_.kind = kMediaWav;
      return true;
    }
    file_.Close();
    std::memset(&info_, 0, sizeof info_);
    return false;
  }
  // The decoder opens the file itself.
  file_.Close();
  auto* decoder = new (std::nothrow) MpegDecoder;
  if (decoder && decoder->Open(path)) {
    delegate_ = decoder;
    decoder_ = decoder;
    std::memcpy(&info_, &decoder->info(), sizeof info_);
    // Without a title in the file's tags the name of the file serves.
    if (info_.title[0] == '\0') TitleFromPath(path, info_.title);
    dataStart_ = decoder->dataStart();
    readPos_ = dataStart_;
    info_.kind = kMediaMpeg;
    return true;
  }
  delete decoder;
  std::memset(&info_, 0, sizeof info_);
  return false;
}

void MediaSource::CloseMedia() {
  file_.Close();
  if (decoder_) {
    decoder_->Close();
    delete decoder_;
  }
  decoder_ = nullptr;
  delegate_ = nullptr;
  std::memset(&info_, 0, sizeof info_);
  dataStart_ = 0;
  readPos_ = 0;
}

bool MediaSource::Read(uint32_t reserved, void* region1, uint32_t length1, void* region2,
                       uint32_t length2, uint32_t* count) {
  *count = 0;
  SyncGuard guard(sync_);
  readInProgress_ = 1;
  bool ok = false;
  if (info_.kind == kMediaWav && delegate_ == this) {
    ok = ReadData(region1, length1, region2, length2, count);
  } else if (info_.kind == kMediaMpeg && delegate_ && delegate_ != this) {
    ok = delegate_->Read(reserved, region1, length1, region2, length2, count);
  }
  readInProgress_ = 0;
  return ok;
}

uint32_t MediaSource::Seek(uint32_t ms) {
  SyncGuard guard(sync_);
  if (info_.kind == kMediaWav && delegate_ == this) return SeekWavMs(file_, wav_, &readPos_, ms);
  if (delegate_ && delegate_ != this) return delegate_->Seek(ms);
  return kSeekFailed;
}

uint32_t MediaSource::PositionMs() {
  if (info_.kind == kMediaWav && delegate_ == this) return WavPositionMs(wav_, readPos_);
  if (delegate_ && delegate_ != this) return delegate_->PositionMs();
  return 0;
}

bool MediaSource::ReadData(void* region1, uint32_t length1, void* region2, uint32_t length2,
                           uint32_t* count) {
  return ReadWavData(file_, wav_, &readPos_, region1, length1, region2, length2, count);
}

bool MediaSource::ParseWavHeader() {
  WavLayout layout;
  if (!::ParseWavHeader(file_, &layout)) return false;
  wav_ = layout;
  dataStart_ = layout.dataStart;
  info_.format = layout.format;
  info_.dataSize = layout.dataSize;
  info_.duration = layout.duration;
  return true;
}
