#!/usr/bin/env python3
"""Recording end to end through Cantorix.exe in both modes (DirectSound
capture, and wave input with dsound disabled): ALSA's capture device reads a
counting pattern at real-time rate (tools/wine-run --capture), the driver
presses the record buttons and answers the save dialog, and the recordings
are checked here: header, the name rule, one unbroken slice of the pattern
per recorded stretch, and the record time the window showed.
"""
import argparse
import glob
import os
import random
import re
import shutil
import struct
import subprocess
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "audio"))
import pcm_pattern  # noqa: E402
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from capture_checks import first_difference, without_fill  # noqa: E402

FAILURES = []


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_recording(path, pat, label):
    if not check(os.path.exists(path), f"{label}: {os.path.basename(path)} exists"):
        return None, None, None
    with open(path, "rb") as f:
        problems, fmt, data = pcm_pattern.parse_recording(f.read())
    check(not problems, f"{label}: header {'; '.join(problems) or 'correct'}")
    parts = pcm_pattern.slices(pat, data) if fmt else None
    check(parts is not None, f"{label}: every byte comes from the injected pattern")
    print(f"    {label}: {len(data)} bytes, slices {parts}")
    return fmt, data, parts


# The row each mode records take3 with, and that row's format.
THIRD_ROW = {"dsound": (7, (22050, 2, 16)), "wavein": (9, (44100, 2, 8))}


def run_mode(args, pat, pattern_file, mode):
    out_dir = os.path.join(args.work, mode)
    os.makedirs(out_dir, exist_ok=True)
    row, row_format = THIRD_ROW[mode]
    kill_bytes = 46 + int(2.5 * row_format[0] * row_format[1] * row_format[2] // 8)
    env = dict(os.environ, CX_REC_DIR=windows_path(out_dir), CX_REC_ROW=str(row),
               CX_REC_KILL_BYTES=str(kill_bytes))
    env.pop("WINEDLLOVERRIDES", None)
    played = os.path.join(args.work, "played.raw")
    music = None
    if mode == "wavein":
        # The wave output engine hands samples to the device unchanged: a
        # file played meanwhile must come out exactly as it is.
        env["WINEDLLOVERRIDES"] = "dsound="
        music = random.Random(12).randbytes(30 * 176400)
        music_path = os.path.join(args.work, "music.wav")
        with wave.open(music_path, "wb") as w:
            w.setnchannels(2)
            w.setsampwidth(2)
            w.setframerate(44100)
            w.writeframes(music)
        env["CX_REC_OPEN"] = windows_path(music_path)
    proc = subprocess.run([args.wine_run, "--play", played, "--capture", pattern_file, args.driver],
                          capture_output=True, text=True, timeout=240, env=env)
    out = proc.stdout + proc.stderr
    if not check(proc.returncode == 0, f"{mode}: the driver passed"):
        print(out)
        return
    if music is not None:
        data = b""
        for part in sorted(glob.glob(played + "*"), key=lambda n: (len(n), n)):
            with open(part, "rb") as f:
                data += f.read()
        # Wine's driver may fill for its own late thread once (without_fill);
        # the sink may add silence after the end (the device's last period).
        data = without_fill(data, music, 4, 44100)
        tail = data[len(music):]
        first = first_difference(data, music)
        check(data[:len(music)] == music and tail.count(0) == len(tail),
              f"{mode}: the file played while recording came out exactly ({len(data)} bytes of {len(music)}, "
              f"first difference at {first}, {len(tail)} bytes after the end)")
    m = re.search(r"shown=(\d+)", out)
    shown = int(m.group(1)) if m else -1

    # take1 became take1.wav; its two recorded stretches (wave input: from
    # RECFILE on) are unbroken slices, in order.
    fmt, data, parts = read_recording(os.path.join(out_dir, "take1.wav"), pat, f"{mode} take1")
    check(not os.path.exists(os.path.join(out_dir, "take1")), f"{mode}: no file named take1 without extension")
    if fmt and parts is not None:
        rate, channels, bits, align = fmt
        check((rate, channels, bits) == (11025, 1, 8), f"{mode} take1: recorded with row 0 {fmt}")
        check(len(parts) <= 2, f"{mode} take1: {len(parts)} slice(s) for 2 recorded stretches")
        gaps = [parts[i + 1][0] - parts[i][0] - parts[i][1] for i in range(len(parts) - 1)]
        check(all(g >= 0 for g in gaps), f"{mode} take1: stretches in order, gaps {gaps}")
        seconds = len(data) / (rate * align)
        # The display was read just before RECSTOP, at most one tick earlier.
        check(seconds - 1.6 <= shown <= seconds, f"{mode} take1: record time showed {shown} s of {seconds:.2f} s")
    path2 = os.path.join(out_dir, "take2.WAV")
    if mode == "dsound":
        check(not os.path.exists(path2), f"{mode}: RECFILE then RECSTOP leaves no file")
    else:
        fmt, data, parts = read_recording(path2, pat, f"{mode} take2 (armed only)")
        check(parts is not None and len(parts) == 1 and len(data) > 11025 // 2,
              f"{mode} take2: one unbroken slice of what was captured since RECFILE")

    # take3: the row chosen in the configuration window; ended (and finished)
    # by the suspend query.
    fmt, data, parts = read_recording(os.path.join(out_dir, "take3.wav"), pat, f"{mode} take3 (row {row}, suspend)")
    if fmt and parts is not None:
        check(fmt[:3] == row_format, f"{mode} take3: recorded as {fmt[:3]}")
        check(len(parts) == 1 and len(data) >= fmt[0] * fmt[3], f"{mode} take3: one unbroken slice of 1.5 s or more")

    # take4 and take5: ended by the end of the session and by the suspend,
    # each finished like a RECSTOP.
    for name, why in (("take4.wav", "logoff"), ("take5.wav", "suspend")):
        fmt, data, parts = read_recording(os.path.join(out_dir, name), pat, f"{mode} {name} ({why})")
        if fmt and parts is not None:
            check(len(parts) == 1 and len(data) >= fmt[0] * fmt[3], f"{mode} {name}: one unbroken slice of 1 s or more")

    # take6: Cantorix was killed mid-recording. The header covers all but at
    # most the last second (and a buffer on its way), and what is on disk
    # is one unbroken slice of the pattern.
    path6 = os.path.join(out_dir, "take6.wav")
    if check(os.path.exists(path6), f"{mode}: take6.wav (killed) exists"):
        with open(path6, "rb") as f:
            raw = f.read()
        riff, data_size = struct.unpack_from("<I", raw, 4)[0], struct.unpack_from("<I", raw, 42)[0]
        on_disk = len(raw) - 46
        rate, channels, bits = row_format
        per_second = rate * channels * bits // 8
        print(f"    {mode} take6: {on_disk} bytes on disk, header says data {data_size}, RIFF {riff}")
        check(on_disk >= kill_bytes - 46, f"{mode} take6: {on_disk} bytes reached the file before the kill")
        check(0 < data_size <= on_disk and riff == data_size + 38,
              f"{mode} take6: header holds data {data_size}, RIFF {riff} for {on_disk} bytes on disk")
        check(on_disk - data_size <= per_second + 2 * per_second // 2,
              f"{mode} take6: the header lags {on_disk - data_size} bytes behind the data")
        parts = pcm_pattern.slices(pat, raw[46:])
        check(parts is not None and len(parts) == 1, f"{mode} take6: what is on disk is one slice of the pattern {parts}")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--driver", required=True)
    ap.add_argument("--work", required=True)
    args = ap.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    try:
        pat = pcm_pattern.pattern(4 * 1024 * 1024)
        pattern_file = os.path.join(args.work, "pattern.raw")
        with open(pattern_file, "wb") as f:
            f.write(pat)
        for mode in ("dsound", "wavein"):
            print(f"{mode}:")
            run_mode(args, pat, pattern_file, mode)
    finally:
        shutil.rmtree(args.work, ignore_errors=True)
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("recordings exact")
    return 0


if __name__ == "__main__":
    sys.exit(main())
