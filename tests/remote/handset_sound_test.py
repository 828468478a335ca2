#!/usr/bin/env python3
"""What Cantorix plays through DirectSound while Handset runs beside it,
captured from ALSA's file sink: a Handset whose 3D panel is never shown must
leave the sound as it is, and a shown panel with its sliders moved must not
silence it (zero 3D distances make a 3D buffer play exactly 0.0). The driver
also reads the moved panel's values back from the player.

One mono tone file is played once in each of three runs; the measure is the
number of non-zero 8-byte groups of each capture: a stereo frame of float
samples, or two of 16-bit ones. Silence is all-zero bytes either way, and a
sound panned to one side still counts, as its other channel sounds.
"""
import argparse
import glob
import math
import os
import shutil
import struct
import subprocess
import sys
import wave


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def make_tone(path, seconds=20, rate=22050):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", int(16000 * math.sin(2 * math.pi * 440 * i / rate)))
                               for i in range(seconds * rate)))


def captured(capture):
    # ALSA's file plugin starts a new numbered file for each opening.
    data = b""
    for part in sorted(glob.glob(capture + "*")):
        with open(part, "rb") as f:
            data += f.read()
    return data


def sounding_groups(data):
    n = len(data) // 8
    return sum(1 for (w,) in struct.iter_unpack("<Q", data[:n * 8]) if w != 0)


def play(args, work, case, tone):
    capture = os.path.join(work, case + ".raw")
    for old in glob.glob(capture + "*"):
        os.remove(old)
    env = dict(os.environ, CX_HANDSET_CASE=case, CX_HANDSET_FILE=windows_path(tone))
    env.pop("WINEDLLOVERRIDES", None)
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=180, env=env)
    out = (proc.stdout + proc.stderr).strip()
    ok = proc.returncode == 0
    print(f"  {case}: driver {'ok' if ok else 'FAILED: ' + out[-800:]}")
    words = sounding_groups(captured(capture))
    print(f"  {case}: {words} sounding groups")
    return ok, words


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    tone = os.path.join(args.work, "tone.wav")
    make_tone(tone)

    results = {case: play(args, args.work, case, tone) for case in ("alone", "hidden", "shown")}
    failures = [f"{case}: the driver failed" for case, (ok, _) in results.items() if not ok]
    alone = results["alone"][1]
    if alone == 0:
        failures.append("alone: nothing sounded")
    for case in ("hidden", "shown"):
        words = results[case][1]
        # The whole tone plays in every run; what differs is timing at the
        # edges, a few per cent at most.
        if alone and abs(words - alone) > 0.1 * alone:
            failures.append(f"{case}: {words} sounding groups against {alone} with Cantorix alone")
    for f in failures:
        print("FAILED: " + f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
