#!/usr/bin/env python3
"""Names outside the legacy code page through Handset, the file dialogs, the
disc database, the title line and a recording. Cantorix.exe is copied into
a folder named in Cyrillic and Japanese (found by Handset through
"Application Path"), Handset.exe into another; the driver
(NamesDialogsDriver.cpp) starts Handset with a file, adds and saves through
the real dialogs, records into a Japanese name with an emoji and plays it.
Here: every file heard whole, in order, in ALSA's file sink (wave output,
dsound disabled); the recording a slice of the captured pattern under its
UTF-8 Unix name; the saved list's bytes; the title screenshot as PNG."""
import argparse
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # the helpers stay as they are in the tree
here = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(here, "..", "waveplayer"))
sys.path.insert(0, os.path.join(here, "..", "audio"))
import end_to_end_test as e2e  # noqa: E402  (capture helpers)
import pcm_pattern  # noqa: E402

MUSIC = "My Music 音楽"
WAV = "Музыка 日本の歌 🎵"
FLAC = "track 02 夜明け"
PROGRAMS = "Программы 日本"
REMOTE = "Remote Пульт"
LIST = "日本の歌 list"
RECORDING = "録音 🎤 take"


def without_silence(pcm):
    frames = (pcm[i:i + 4] for i in range(0, len(pcm) - len(pcm) % 4, 4))
    return b"".join(f for f in frames if f != b"\0\0\0\0")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--bin", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--screenshots", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    music = os.path.join(args.work, MUSIC)
    programs = os.path.join(args.work, PROGRAMS)
    remote = os.path.join(args.work, REMOTE)
    for folder in (music, programs, remote, args.screenshots):
        os.makedirs(folder, exist_ok=True)
    for name in os.listdir(args.bin):
        if name == "Cantorix.exe" or name.startswith("TimGM6mb"):
            shutil.copy(os.path.join(args.bin, name), programs)
    shutil.copy(os.path.join(args.bin, "Handset.exe"), remote)

    wav = os.path.join(music, WAV + ".wav")
    e2e.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", wav, "synth", "4", "sine", "440", "vol", "0.4"])
    # Thirty seconds (under ten in the sink): the driver reads its title
    # from the screen while it plays.
    flac_source = os.path.join(args.work, "flac-source.wav")
    e2e.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", flac_source, "synth", "30", "sine", "550",
             "vol", "0.4"])
    e2e.run(["flac", "-s", "-f", "-T", "ARTIST=Aoi", "-T", "TITLE=朝の練習曲", "-o",
             os.path.join(music, FLAC + ".flac"), flac_source])
    pcm = {"wav": e2e.wav_pcm(wav), "flac": e2e.wav_pcm(flac_source)}
    pattern = pcm_pattern.pattern(90 * 176400)
    pattern_file = os.path.join(args.work, "pattern.raw")
    with open(pattern_file, "wb") as f:
        f.write(pattern)

    capture = os.path.join(args.work, "played.raw")
    env = dict(os.environ, WINEDLLOVERRIDES="dsound=", CX_NAMES_DIR=e2e.windows_path(args.work),
               CX_SCREENSHOT_DIR=e2e.windows_path(args.screenshots))
    proc = subprocess.run([args.wine_run, "--play", capture, "--capture", pattern_file, args.driver,
                           "--gtest_brief=1"], capture_output=True, text=True, timeout=400, env=env)
    e2e.check(proc.returncode == 0, f"the driver saw Handset, the dialogs, the title and the recording work "
                                    f"({e2e.driver_output(proc)})")
    heard = [line.split()[1] for line in proc.stdout.splitlines() if line.startswith("heard ")]
    e2e.check(heard == ["wav", "wav", "flac", "wav", "recording"], f"the order the driver reports: {heard}")

    # The recording, by its Unix (UTF-8) name: CD quality, one unbroken
    # slice of what the capture device gave.
    recording = os.path.join(music, RECORDING + ".wav")
    e2e.check((RECORDING + ".wav") in os.listdir(music), f"{RECORDING}.wav is in {MUSIC} under its UTF-8 name")
    if os.path.exists(recording):
        with open(recording, "rb") as f:
            problems, fmt, data = pcm_pattern.parse_recording(f.read())
        e2e.check(not problems and fmt is not None and fmt[:3] == (44100, 2, 16),
                  f"the recording's header: {'; '.join(problems) or fmt}")
        slices = pcm_pattern.slices(pattern, data) if fmt else None
        e2e.check(slices is not None and len(slices) == 1 and len(data) >= 2 * 176400,
                  f"the recording is one slice of the pattern, two seconds or more ({len(data)} bytes, {slices})")
        pcm["recording"] = data

    # The saved list: the three entries, in UTF-8 and relative to the list's
    # own folder (they are all in it), CR LF.
    entries = [WAV + ".wav", FLAC + ".flac", WAV + ".wav"]
    expected_list = "".join(e + "\r\n" for e in entries).encode("utf-8")
    list_path = os.path.join(music, LIST + ".m3u")
    got = open(list_path, "rb").read() if os.path.exists(list_path) else b""
    e2e.check(got == expected_list, f"{LIST}.m3u holds the entries in UTF-8 ({got[:200]!r})")

    parts = [without_silence(part) for part in e2e.captured_parts(capture)]
    expected = [without_silence(pcm.get(name, b"")) for name in heard]
    e2e.check(parts == expected,
              f"each file was heard whole, once per device opening, in order (sounding bytes "
              f"{[len(x) for x in parts]}, files {[len(x) for x in expected]})")

    # The driver read the screen; the wave player is cut out of it.
    bmp = os.path.join(args.screenshots, "wave-player-japanese-screen.bmp")
    rect = next((line.split("=", 1)[1].strip() for line in proc.stdout.splitlines()
                 if line.startswith("wave_rect=")), None)
    if e2e.check(os.path.exists(bmp) and rect is not None, "the wave player's screenshot was saved"):
        e2e.run(["convert", bmp, "-crop", rect, "+repage",
                 os.path.join(args.screenshots, "wave-player-japanese.png")])
        os.remove(bmp)
    return e2e.finish()


if __name__ == "__main__":
    sys.exit(main())
