#!/usr/bin/env python3
"""End-to-end playback test: plays files through the program's output
engines under Wine with ALSA's default device writing into a file, and
compares what was played with the source PCM.

Every run goes through `playfile` (a small Windows program of this folder),
started by tools/wine-run --play FILE.
"""
import argparse
import array
import glob
import os
import random
import struct
import subprocess
import sys
import wave

FAILURES = []


def check(cond, what):
    status = "ok" if cond else "FAILED"
    print(f"  [{status}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def silence_byte(bits):
    return 0x80 if bits == 8 else 0x00


def nonsilent_pcm(nbytes, seed, bits):
    # Random bytes without the silence byte: nothing of the source can be
    # mistaken for silence, so dropping the silence bytes of a capture must
    # give back the source exactly, and any gap shows as a silence run.
    rnd = random.Random(seed)
    quiet = silence_byte(bits)
    return bytes(b if b != quiet else 0x55 for b in (rnd.randrange(1, 256) for _ in range(nbytes)))


def write_wav(path, rate, channels, bits, pcm):
    with wave.open(path, "wb") as w:
        w.setnchannels(channels)
        w.setsampwidth(bits // 8)
        w.setframerate(rate)
        w.writeframes(pcm)


def play(args, capture, *player_args, timeout=60):
    """Runs playfile; returns (exit code, output, captured bytes)."""
    for old in glob.glob(capture + "*"):
        os.remove(old)
    env = dict(os.environ)
    env.pop("WINEDLLOVERRIDES", None)
    cmd = [args.wine_run, "--play", capture, args.player, *player_args]
    proc = subprocess.run(cmd, capture_output=True, text=True, timeout=timeout, env=env)
    # ALSA's file plugin opens a fresh numbered file whenever the named one
    # already exists; together they hold everything played, in order.
    data = b""
    for part in sorted(glob.glob(capture + "*")):
        with open(part, "rb") as f:
            data += f.read()
    return proc.returncode, proc.stdout + proc.stderr, data


def strip_silence(data, bits):
    return data.replace(bytes([silence_byte(bits)]), b"")


def silence_runs_inside(data, bits):
    """Runs of silence bytes between the first and the last sounding byte."""
    quiet = silence_byte(bits)
    first = next((i for i, b in enumerate(data) if b != quiet), None)
    if first is None:
        return 0
    last = len(data) - next(i for i, b in enumerate(reversed(data)) if b != quiet)
    runs, inside = 0, False
    for b in memoryview(data)[first:last]:
        if b == quiet and not inside:
            runs, inside = runs + 1, True
        elif b != quiet:
            inside = False
    return runs


def waveout_cases(args, work):
    # The file sink takes the sound about four times faster than real time,
    # so the timed cases use a long file.
    cap = os.path.join(work, "waveout.raw")
    cases = [
        ("16-bit stereo 44100 Hz, 2.5 s", 44100, 2, 16, 2.5),
        ("8-bit mono 11025 Hz, 1.2 s", 11025, 1, 8, 1.2),
        ("16-bit mono 22050 Hz, 0.3 s", 22050, 1, 16, 0.3),
    ]
    for name, rate, channels, bits, secs in cases:
        print(f"wave output: {name}")
        pcm = nonsilent_pcm(int(rate * secs) * channels * bits // 8, rate + channels, bits)
        path = os.path.join(work, "src.wav")
        write_wav(path, rate, channels, bits, pcm)
        rc, out, data = play(args, cap, windows_path(path))
        check(rc == 0 and "ends=1" in out, f"one end notification after the last buffer ({out.strip()})")
        played = strip_silence(data, bits)
        check(played == pcm, f"{len(pcm)} bytes arrive bit for bit (captured {len(played)} sounding of {len(data)})")
        check(silence_runs_inside(data, bits) == 0, "no gap between buffers")

    long_pcm = nonsilent_pcm(8000 * 20, 7, 8)
    path = os.path.join(work, "long.wav")
    write_wav(path, 8000, 1, 8, long_pcm)
    print("wave output: 20 s file, pause for 700 ms after 1 s, then resume")
    rc, out, data = play(args, cap, "--pause", "1000:700", windows_path(path))
    check(rc == 0 and "ends=1" in out, f"no read while paused, one end notification ({out.strip()})")
    check(strip_silence(data, 8) == long_pcm, "every byte arrives once, in order, across the pause")
    check(silence_runs_inside(data, 8) <= 1, "silence only where the pause was")

    print("wave output: 20 s file, stop after 800 ms")
    rc, out, data = play(args, cap, "--stop", "800", "--linger", "1500", windows_path(path))
    check(rc == 0 and "ends=0" in out, f"no end notification after a stop ({out.strip()})")
    played = strip_silence(data, 8)
    check(0 < len(played) < len(long_pcm) and long_pcm.startswith(played),
          f"what was played before the stop is the start of the file ({len(played)} bytes)")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--player", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    waveout_cases(args, args.work)
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
