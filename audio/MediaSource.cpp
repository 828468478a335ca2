#include "audio/MediaSource.h"

#include <cstring>
#include <new>

#include "audio/MpegDecoder.h"
#include "media/MediaKind.h"

uint32_t MediaKindOfPath(const char* path) {
  return FilterKind(kKindWave | kKindMpeg | kKindMidi, path);
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
  FileTitle(path, info_.title, sizeof info_.title);
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
    if (info_.title[0] == '\0') FileTitle(path, info_.title, sizeof info_.title);
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
