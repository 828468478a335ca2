#include "media/MediaKind.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct KindCase {
  const char* name;
  MediaKind loose;   // ClassifyByExtension
  MediaKind strictWave;   // FilterKind with the wave player's mask
  MediaKind strictAll;    // FilterKind with every bit allowed
};

TEST(MediaKind, RecognisersCompareDifferently) {
  const KindCase cases[] = {
      {"song.mp3", kKindMpeg, kKindMpeg, kKindMpeg},
      {"SONG.MP3", kKindMpeg, kKindMpeg, kKindMpeg},
      {"song.Mp3", kKindMpeg, kKindMpeg, kKindMpeg},
      {"song.mp2", kKindMpeg, kKindMpeg, kKindMpeg},
      {"song.mpa", kKindMpeg, kKindMpeg, kKindMpeg},
      {"x.mp", kKindMpeg, 0, 0},          // leading part of ".MP1"
      {"x.w", kKindWave, 0, 0},
      {"x.", kKindWave, 0, 0},            // a bare dot matches the first row
      {"take.WAV", kKindWave, kKindWave, kKindWave},
      {"a.b.mid", kKindMidi, 0, kKindMidi},
      {"tune.RMI", kKindMidi, 0, kKindMidi},
      {"track01.cda", kKindCdTrack, 0, kKindCdTrack},
      {"list.m3u", kKindListFile, 0, 0},  // never a kind for the strict one
      {"list.M3U8", kKindListFile, 0, 0},  // the UTF-8 list, whole
      {"list.m3u9", 0, 0, 0},
      {"x.mp3x", 0, 0, 0},                // longer than any entry
      {"x.mp33", 0, 0, 0},
      {"noextension", 0, 0, 0},
      {"D:\\dir.x\\file", 0, 0, 0},       // extension ".x\file"
      {"x.ogg", kKindVorbis, kKindVorbis, kKindVorbis},
      {"Album.OGA", kKindVorbis, kKindVorbis, kKindVorbis},
      {"take.flac", kKindFlac, kKindFlac, kKindFlac},
      {"x.fla", kKindFlac, 0, 0},         // leading part of ".FLAC"
      {"x.flacc", 0, 0, 0},
      {"", 0, 0, 0},
  };
  for (const KindCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ClassifyByExtension(c.name), c.loose);
    EXPECT_EQ(FilterKind(kWavePlayerKinds, c.name), c.strictWave);
    EXPECT_EQ(FilterKind(0xFFFFFFFF, c.name), c.strictAll);
  }
}

TEST(MediaKind, FilterKindMasksByPlayer) {
  EXPECT_EQ(FilterKind(kCdPlayerKinds, "track01.cda"), kKindCdTrack);
  EXPECT_EQ(FilterKind(kMidiPlayerKinds, "track01.cda"), 0u);
  EXPECT_EQ(FilterKind(kMidiPlayerKinds, "x.mid"), kKindMidi);
  EXPECT_EQ(FilterKind(kWavePlayerKinds, "x.mid"), 0u);
  for (MediaKind mask : {0u, 3u, 4u, 8u, 31u}) EXPECT_EQ(FilterKind(mask, "list.m3u"), 0u);
  EXPECT_EQ(ClassifyByExtension(nullptr), 0u);
  EXPECT_EQ(FilterKind(3, nullptr), 0u);
}

TEST(MediaKind, DirectDispatchTakesEveryKindAPlayerPlays) {
  const struct {
    const char* name;
    uint16_t route;
  } cases[] = {
      {"SONG.MP3", 2006}, {"song.mp3", 2006}, {"song.Mp3", 2006}, {"a.wav", 2006},
      {"song.mp2", 2006}, {"song.mp1", 2006}, {"song.MPA", 2006}, {"b.MID", 2003},
      {"b.rmi", 2003},    {"t.CDA", 2000},    {"list.m3u", 0},    {"none", 0},
      {"x.ogg", 2006},    {"x.oga", 2006},    {"x.FLAC", 2006},   {"x.flacc", 0},
      {"x.m", 2006},  // ".m" is a leading part of ".MP3"
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(DirectPlayerRoute(c.name), c.route);
  }
  EXPECT_TRUE(IsListFileName("x.M3U"));
  EXPECT_FALSE(IsListFileName("x.m3ux"));
  EXPECT_TRUE(IsListFileName("x.m3U8"));
  EXPECT_TRUE(IsUtf8ListName("x.M3u8"));
  EXPECT_FALSE(IsUtf8ListName("x.m3u"));
  EXPECT_FALSE(IsUtf8ListName("x.m3u8.wav"));
  EXPECT_EQ(PlayerRouteForKind(kKindWave), 2006);
  EXPECT_EQ(PlayerRouteForKind(kKindMpeg), 2006);
  EXPECT_EQ(PlayerRouteForKind(kKindFlac), 2006);
  EXPECT_EQ(PlayerRouteForKind(kKindVorbis), 2006);
  EXPECT_EQ(PlayerRouteForKind(kKindMidi), 2003);
  EXPECT_EQ(PlayerRouteForKind(kKindCdTrack), 2000);
  EXPECT_EQ(PlayerRouteForKind(kKindListFile), 0);
  EXPECT_EQ(PlayerRouteForKind(0), 0);
}

TEST(MediaKind, OpenFilterTextsAreExact) {
  using namespace std::string_literals;
  EXPECT_EQ(BuildOpenFilter(0), "All File\0*.*\0\0"s);
  EXPECT_EQ(BuildOpenFilter(kWavePlayerKinds),
            "Wave File & MP3 Audio File & FLAC Audio File & Ogg Vorbis File\0"
            "*.wav;*.mp1;*.mp2;*.mp3;*mpa;*.flac;*.ogg;*.oga\0\0"s);
  EXPECT_EQ(BuildOpenFilter(kCdPlayerKinds), "CD Audio\0*.cda\0\0"s);
  EXPECT_EQ(BuildOpenFilter(kMidiPlayerKinds), "MIDI File\0*.mid;*.rmi\0\0"s);
  // Order is CD, MIDI, wave, MPEG whatever the bits' values.
  EXPECT_EQ(BuildOpenFilter(15),
            "CD Audio & MIDI File & Wave File & MP3 Audio File\0"
            "*.cda;*.mid;*.rmi;*.wav;*.mp1;*.mp2;*.mp3;*mpa\0\0"s);
  // The list-file bit has no filter row of its own.
  EXPECT_EQ(BuildOpenFilter(kKindListFile), "\0\0\0"s);
}

}  // namespace
