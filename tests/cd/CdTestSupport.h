// What the CD tests share: a "disc" of track files on the test prefix's
// CD-ROM drive X: (the folder build/cdrom-x, see tools/wine-cdrom), and the
// choice of the CD audio MCI driver, which the prefix reads from system.ini
// [mci] cdaudio: Wine's own driver, or the project's fake driver for tests.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

constexpr int kDiscDrive = 'X' - 'A';

// Writes Track01.cda .. TrackNN.cda (plus any extra files) to the disc
// folder and removes them again.
class TestDisc {
 public:
  explicit TestDisc(int tracks);
  ~TestDisc();
  TestDisc(const TestDisc&) = delete;
  TestDisc& operator=(const TestDisc&) = delete;
  // Adds a file to the disc, removed with the disc; returns its X: path.
  std::string Add(const std::string& name, const std::string& bytes);
  static std::string Folder();

 private:
  std::vector<std::string> names_;
};

// Puts an MCI driver in the prefix's system.ini [mci] section for the life
// of the object, and Wine's own driver back afterwards.
class MciTestDriver {
 public:
  // `entry` is the section's key ("cdaudio", "sequencer"); `driver` a path
  // or a driver file name; `restore` Wine's own driver for that key.
  MciTestDriver(const char* entry, const std::string& driver, const char* restore);
  ~MciTestDriver();
  MciTestDriver(const MciTestDriver&) = delete;
  MciTestDriver& operator=(const MciTestDriver&) = delete;
  // The fake drivers only: the disc or files they report (see
  // FakeCdDriver.cpp), and the commands they saw since the last call.
  void Script(const char* script);
  std::string Log();

 private:
  std::string entry_;
  std::string restore_;
  HMODULE fake_ = nullptr;
};

// The CD audio driver: "fake" for the test driver next to the test program,
// else a driver file name.
class CdAudioDriver : public MciTestDriver {
 public:
  explicit CdAudioDriver(const char* driver);
};

// The fake sequencer next to the test program, in place of Wine's.
class FakeSequencer : public MciTestDriver {
 public:
  FakeSequencer();
};

constexpr char kWineCdDriver[] = "mcicda.dll";
std::string FakeCdDriverPath();
std::string FakeSequencerPath();
