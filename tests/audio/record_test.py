#!/usr/bin/env python3
"""Recording end to end under Wine: ALSA's capture device reads a counting
pattern from a file at the rate of a real sound card (tools/wine-run
--capture), both recorders record it through `recordfile`, and each file
must hold a correct header and, per recorded stretch, one unbroken slice of
the pattern: no gap, repeat or reordering inside a stretch.
"""
import argparse
import os
import re
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pcm_pattern  # noqa: E402

FAILURES = []


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def record(args, pattern_file, mode, row, name, steps, env=None):
    path = os.path.join(args.work, name)
    if os.path.exists(path):
        os.remove(path)
    cmd = [args.wine_run, "--capture", pattern_file, args.recorder, mode, str(row), windows_path(path), *steps]
    proc = subprocess.run(cmd, capture_output=True, text=True, timeout=120, env=env)
    m = re.search(r"bytes=(\d+) ms=(\d+)", proc.stdout)
    counted = (int(m.group(1)), int(m.group(2))) if m else None
    return proc.returncode, proc.stdout + proc.stderr, path, counted


def check_recording(label, pat, path, counted, stretches, seconds):
    """The file of one run: header, data count, and at most one slice of
    the pattern per recorded stretch. Returns the slices."""
    if not check(os.path.exists(path), f"{label}: the file exists"):
        return None
    with open(path, "rb") as f:
        raw = f.read()
    problems, fmt, data = pcm_pattern.parse_recording(raw)
    check(not problems, f"{label}: header {'; '.join(problems) or 'correct'}")
    if fmt is None:
        return None
    rate, channels, bits, align = fmt
    check(counted is not None and counted[0] == len(data), f"{label}: {len(data)} data bytes, recorder counted {counted}")
    expected = seconds * rate * align
    check(0.6 * expected <= len(data) <= 1.4 * expected,
          f"{label}: {len(data)} bytes for about {seconds} s ({expected:.0f} expected at real time)")
    if counted is not None:
        check(counted[1] == len(data) * 1000 // (rate * align), f"{label}: record time {counted[1]} ms")
    parts = pcm_pattern.slices(pat, data)
    if not check(parts is not None, f"{label}: every byte comes from the injected pattern"):
        return None
    gaps = [parts[i + 1][0] - (parts[i][0] + parts[i][1]) for i in range(len(parts) - 1)]
    print(f"    {label}: {len(data)} bytes in {len(parts)} slice(s) {parts}, gaps between stretches {gaps}")
    check(len(parts) <= stretches, f"{label}: {len(parts)} unbroken slice(s) for {stretches} recorded stretch(es)")
    check(all(start % align == 0 for start, _ in parts), f"{label}: slices start on whole frames")
    check(all(g >= 0 for g in gaps), f"{label}: later stretches follow earlier ones")
    return parts


def main():
    args = parse_args()
    try:
        return run_all(args)
    finally:
        shutil.rmtree(args.work, ignore_errors=True)


def parse_args():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--recorder", required=True)
    ap.add_argument("--work", required=True)
    return ap.parse_args()


def run_all(args):
    os.makedirs(args.work, exist_ok=True)
    # 60 s of the fastest format: more than any run reads.
    pat = pcm_pattern.pattern(60 * 176400)
    pattern_file = os.path.join(args.work, "pattern.raw")
    with open(pattern_file, "wb") as f:
        f.write(pat)

    # The wave input recorder captures from RECFILE on; DirectSound only from
    # the first RECPLAY.
    for mode, armed_seconds in (("wavein", 1.0), ("dsound", 0.0)):
        for row in (11, 6, 0):  # 44.1 kHz 16-bit stereo, 22.05 kHz 16-bit mono, 11.025 kHz 8-bit mono
            label = f"{mode} row {row}"
            print(f"{label}: arm 1 s, record 2.5 s, pause 0.8 s, record 1.5 s")
            rc, out, path, counted = record(args, pattern_file, mode, row, f"{mode}-{row}.wav",
                                            ["wait:1000", "play:2500", "pause:800", "play:1500"])
            if not check(rc == 0, f"{label}: recordfile ran ({out.strip()[:200]})"):
                continue
            check_recording(label, pat, path, counted, 2, armed_seconds + 4.0)

    # Every other row of the table: one stretch of 1.2 s.
    for mode, armed_seconds in (("wavein", 0.3), ("dsound", 0.0)):
        for row in (1, 2, 3, 4, 5, 7, 8, 9, 10):
            label = f"{mode} row {row}"
            rc, out, path, counted = record(args, pattern_file, mode, row, f"{mode}-{row}.wav",
                                            ["wait:300", "play:1200"])
            if check(rc == 0, f"{label}: recordfile ran ({out.strip()[:200]})"):
                check_recording(label, pat, path, counted, 1, armed_seconds + 1.2)

    print("wavein: arm, wait 1.5 s, stop: the file keeps what was captured since the arming")
    rc, out, path, counted = record(args, pattern_file, "wavein", 6, "wavein-armed.wav", ["wait:1500"])
    if check(rc == 0, f"wavein armed only: recordfile ran ({out.strip()[:200]})"):
        check_recording("wavein armed only", pat, path, counted, 1, 1.5)
    print("dsound: the device delivers nothing at first: the recorder makes its buffer again")
    env = dict(os.environ, CX_CAPTURE_STALL_FIRST="1")
    rc, out, path, counted = record(args, pattern_file, "dsound", 6, "dsound-stall.wav", ["play:1200"], env)
    if check(rc == 0, f"dsound stalled start: recordfile ran ({out.strip()[:200]})"):
        check("restarts=1" in out, f"dsound stalled start: one new buffer ({out.strip()[-60:]})")
        check_recording("dsound stalled start", pat, path, counted, 1, 1.2)
    print("dsound: arm, wait, stop: nothing captured, no file left")
    rc, out, path, counted = record(args, pattern_file, "dsound", 6, "dsound-armed.wav", ["wait:1000"])
    check(rc == 0 and counted == (0, 0), f"dsound armed only: nothing counted ({out.strip()[:200]})")
    check(not os.path.exists(path), "dsound armed only: the empty file was removed")

    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all recordings exact")
    return 0


if __name__ == "__main__":
    sys.exit(main())
