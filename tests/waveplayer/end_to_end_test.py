#!/usr/bin/env python3
"""Cantorix.exe plays files end to end under Wine, with ALSA's default
device writing everything played into a file, and what was played is
compared with the project's own decoder's output.

Fixtures are made here with sox, lame and twolame. The wave output engine
is forced (dsound disabled), since it hands the samples to the device
unchanged; DirectSound mixes.
"""
import argparse
import glob
import os
import re
import shutil
import subprocess
import sys
import wave

FAILURES = []


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


def make_fixtures(work):
    """A WAV, an MP3 and an MP2 of a few seconds each, 44.1 kHz stereo."""
    paths = {}
    src = os.path.join(work, "tone.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", src, "synth", "2.2", "sine", "330", "sine", "550",
         "vol", "0.5"])
    paths["wav"] = os.path.join(work, "First Song.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", paths["wav"], "synth", "1.7", "sine", "440",
         "sine", "660", "vol", "0.4"])
    paths["mp3"] = os.path.join(work, "second.mp3")
    run(["lame", "--quiet", "-b", "128", src, paths["mp3"]])
    paths["mp2"] = os.path.join(work, "third.mp2")
    run(["twolame", "--quiet", "-b", "192", src, paths["mp2"]])
    return paths


def decode(args, path):
    """The project's decoder's PCM for an MPEG file (the native build when
    there is one, else the Windows build under Wine)."""
    if args.cxdecode_native and os.path.exists(args.cxdecode_native):
        return run([args.cxdecode_native, "--raw", path, "-"]).stdout
    out = path + ".raw"
    run([args.wine_run, "--no-audio", args.cxdecode_exe, "--raw", windows_path(path), windows_path(out)])
    with open(out, "rb") as f:
        return f.read()


def wav_pcm(path):
    with wave.open(path, "rb") as w:
        return w.readframes(w.getnframes())


def captured(capture, lengths=()):
    # ALSA's file plugin starts a fresh numbered file whenever the named one
    # exists already; in order of their numbers they hold all that played.
    # Part k is file k of `lengths`: silence past that file's length is the
    # padding Wine's driver may write when the device closes, and is dropped.
    def order(name):
        m = re.search(r"\.(\d+)$", name[len(capture):])
        return -1 if name == capture else int(m.group(1)) if m else 1 << 30
    data = b""
    for k, part in enumerate(sorted(glob.glob(capture + "*"), key=order)):
        with open(part, "rb") as f:
            chunk = f.read()
        if k < len(lengths) and not chunk[lengths[k]:].strip(b"\0"):
            chunk = chunk[:lengths[k]]
        data += chunk
    return data


def play(args, capture, target, first_title=None, lengths=()):
    for old in glob.glob(capture + "*"):
        os.remove(old)
    env = dict(os.environ)
    env["WINEDLLOVERRIDES"] = "dsound="
    env["CX_E2E_OPEN"] = windows_path(target)
    env.pop("CX_E2E_FIRST_TITLE", None)
    if first_title:
        env["CX_E2E_FIRST_TITLE"] = first_title
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=150, env=env)
    out = (proc.stdout + proc.stderr).strip()
    check(proc.returncode == 0, f"the driver saw Cantorix play and stop ({out[-600:]})")
    return captured(capture, lengths)


def first_difference(a, b):
    n = min(len(a), len(b))
    return next((i for i in range(n) if a[i] != b[i]), n)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--cxdecode-exe", required=True)
    p.add_argument("--cxdecode-native", default="")
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    files = make_fixtures(args.work)
    capture = os.path.join(args.work, "played.raw")

    print("Cantorix.exe second.mp3: plays the whole file")
    mp3 = decode(args, files["mp3"])
    data = play(args, capture, files["mp3"], lengths=[len(mp3)])
    check(len(mp3) > 44100 * 4, f"the decoder gives {len(mp3)} bytes for the MP3")
    check(data == mp3, f"captured {len(data)} bytes equal the decoder's {len(mp3)} bytes "
                       f"(first difference at {first_difference(data, mp3)})")

    print("a list of a WAV, an MP3 and an MP2: in order, no gaps, no repeats")
    listing = os.path.join(args.work, "three.m3u")
    with open(listing, "w", newline="\r\n") as f:
        for key in ("wav", "mp3", "mp2"):
            f.write(windows_path(files[key]) + "\n")
    wav = wav_pcm(files["wav"])
    mp2 = decode(args, files["mp2"])
    expected = wav + mp3 + mp2
    data = play(args, capture, listing, first_title="First Song", lengths=[len(wav), len(mp3), len(mp2)])
    head, tail = data[:len(expected)], data[len(expected):]
    check(head == expected, f"the three files arrive whole and in order ({len(head)} of {len(expected)} bytes, "
                            f"first difference at {first_difference(head, expected)})")
    # PLAY after the end started the first file again; the stop that
    # followed leaves the silence Wine writes after a reset.
    sounding = tail.rstrip(b"\0")
    check(len(sounding) > 0 and wav.startswith(sounding),
          f"after the end, PLAY played the start of the first file ({len(sounding)} bytes, "
          f"then {len(tail) - len(sounding)} bytes of silence)")

    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
