#!/usr/bin/env python3
"""The mixer module scales what Cantorix plays, end to end under Wine.

Cantorix.exe plays a steady sine WAV through the wave output device into
ALSA's file sink while a second process (the driver) moves the mixer
module's master fader, presses its mute button and sends the remote's +/-.
Wine's mixer 0 master volume scales the samples written to the sink
linearly, so each step's captured peak must be the tone's peak times the
fader's level over the control's range (mute: zeros). The steps are found
in the capture in the order the driver made them.
"""
import argparse
import array
import glob
import os
import re
import shutil
import subprocess
import sys

FAILURES = []
TONE_PEAK = 16384  # sox "vol 0.5" of a full-scale sine
SPAN = 65535       # Wine's volume controls run 0..65535
BLOCK = 1024       # frames per measured block
MIN_RUN = 8        # blocks a step must hold to count


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def level_of(position):
    # The fader's level for a position: two percent per step plus half a
    # percent, within the span.
    return min(SPAN, SPAN * 2 * position // 100 + SPAN // 200)


def captured(capture):
    def order(name):
        m = re.search(r"\.(\d+)$", name[len(capture):])
        return -1 if name == capture else int(m.group(1)) if m else 1 << 30
    data = b""
    for part in sorted(glob.glob(capture + "*"), key=order):
        with open(part, "rb") as f:
            data += f.read()
    return data


def block_peaks(data):
    samples = array.array("h")
    samples.frombytes(data[:len(data) // 4 * 4])
    step = BLOCK * 2
    return [max(abs(v) for v in samples[i:i + step]) for i in range(0, len(samples) - step + 1, step)]


def find_run(peaks, start, expected):
    """First run of MIN_RUN blocks from `start` whose peaks match; returns
    (index after the run, the run's median peak) or (None, None)."""
    tolerance = 0 if expected == 0 else max(8, expected * 0.03)
    run = 0
    for i in range(start, len(peaks)):
        run = run + 1 if abs(peaks[i] - expected) <= tolerance else 0
        if run == MIN_RUN:
            j = i + 1
            while j < len(peaks) and abs(peaks[j] - expected) <= tolerance:
                j += 1
            values = sorted(peaks[i + 1 - MIN_RUN:j])
            return j, values[len(values) // 2]
    return None, None


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    try:
        return run(args)
    finally:
        shutil.rmtree(args.work, ignore_errors=True)


def run(args):
    tone = os.path.join(args.work, "tone.wav")
    # Long enough to outlast the steps at the file sink's speed.
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "120", "sine", "441",
                    "vol", "0.5"], check=True)
    capture = os.path.join(args.work, "played.raw")
    env = dict(os.environ)
    env["WINEDLLOVERRIDES"] = "dsound="
    env["CX_E2E_OPEN"] = windows_path(tone)
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=200, env=env)
    out = proc.stdout + proc.stderr
    check(proc.returncode == 0, f"the driver drove the mixer while Cantorix played ({out.strip()[-600:]})")
    steps = [(m.group(1), int(m.group(2)), m.group(3) == "1")
             for m in re.finditer(r"^step (\S+) (\d+) ([01])\s*$", out, re.M)]
    check(len(steps) == 7, f"the driver made all seven steps ({len(steps)})")

    peaks = block_peaks(captured(capture))
    print(f"captured {len(peaks)} blocks of {BLOCK} frames")
    at = 0
    for name, position, muted in steps:
        expected = 0 if muted else round(TONE_PEAK * level_of(position) / SPAN)
        end, peak = find_run(peaks, at, expected)
        if not check(end is not None, f"{name}: fader {position}{' muted' if muted else ''} plays at peak "
                                      f"{expected}" + ("" if end is None else f" (measured {peak}, "
                                                       f"{peak / TONE_PEAK:.3f} of the tone)")):
            break
        at = end
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
