#!/usr/bin/env python3
"""Cantorix.exe plays MIDI files with its built-in synthesizer under Wine
(no MIDI output device here), with ALSA's default device writing what is
played into a file; the notes in that file are measured.

The first file is written here: a type 1 file (a tempo track and a note
track with running status and a sysex) with a silent lead-in of 6 s, eight
eighth notes alternating A4 and E5 at 120 beats a minute, a tempo change to
90, eight more, and a snare hit on channel 10. The driver changes the tempo
to 150 (125 %) while paused in the lead-in, so every note comes 1.25 times
sooner than written. The second file (type 0) holds four C5 notes: the list
must go on to it.
"""
import argparse
import array
import math
import os
import shutil
import struct
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from capture_checks import captured_parts, check, driver_output, finish, windows_path  # noqa: E402

RATE = 44100
TICKS = 480  # per quarter note


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


def track(events):
    """events: (delta ticks, bytes) in order; end of track appended."""
    body = b"".join(vlq(d) + e for d, e in events) + vlq(0) + b"\xFF\x2F\x00"
    return b"MTrk" + struct.pack(">I", len(body)) + body


def tempo(bpm):
    us = round(60_000_000 / bpm)
    return b"\xFF\x51\x03" + us.to_bytes(3, "big")


def first_song():
    """The file, and the written onsets (ms at 100 %) with their pitches."""
    eighth = TICKS // 2
    lead = 12 * TICKS  # 6 s at 120
    tempo_track = [(0, tempo(120)), (lead + 8 * eighth, tempo(90))]
    notes = [(0, b"\xC0\x50"), (0, b"\xF0\x05\x7E\x7F\x09\x01\xF7")]  # square lead; a GM reset sysex
    onsets = []
    delta = lead
    for i in range(16):
        key = 69 if i % 2 == 0 else 76
        # Running status after the first note; note-offs as velocity 0.
        notes.append((delta, (b"\x90" if i == 0 else b"") + bytes([key, 100])))
        notes.append((eighth * 3 // 4, bytes([key, 0])))
        delta = eighth - eighth * 3 // 4
        at = 6000 + i * 250 if i < 8 else 8000 + (i - 8) * 1000 / 3
        onsets.append((at, 440.0 * 2 ** ((key - 69) / 12)))
    notes.append((delta + TICKS, b"\x99\x26\x7F"))  # a snare on channel 10
    notes.append((TICKS, b"\x89\x26\x00"))
    data = b"MThd" + struct.pack(">IHHH", 6, 1, 2, TICKS) + track(tempo_track) + track(notes)
    return data, onsets


def second_song():
    events = [(0, tempo(120)), (0, b"\xC0\x50")]
    for i in range(4):
        events.append((0 if i == 0 else TICKS // 4, b"\x90\x48\x64"))
        events.append((TICKS * 3 // 4, b"\x80\x48\x00"))
    return b"MThd" + struct.pack(">IHHH", 6, 0, 1, TICKS) + track(events)


def mono(raw):
    a = array.array("h", raw[: len(raw) // 4 * 4])
    return [(a[i] + a[i + 1]) / 2.0 for i in range(0, len(a), 2)]


def onsets_of(x, hop=44):
    """Note starts: where a 1 ms-hop energy envelope rises fast from quiet."""
    env = []
    for i in range(0, len(x) - hop, hop):
        seg = x[i:i + hop]
        env.append(math.sqrt(sum(v * v for v in seg) / hop))
    top = max(env) if env else 0
    found, last = [], -10 ** 9
    for k in range(20, len(env)):
        before = min(env[k - 20:k - 2])
        if env[k] > 0.08 * top and env[k] > 4 * before + 1 and k - last > 80:
            # Back to where the rise began.
            j = k
            while j > 0 and env[j - 1] > 2 * before + 1 and env[j - 1] < env[j]:
                j -= 1
            found.append(j * hop)
            last = k
    return found


def pitch(x, start, expected):
    """Fundamental by normalised autocorrelation over 2048 samples taken
    20 ms into the note, searched from half to twice the expected pitch."""
    seg = x[start + 882:start + 882 + 2048]
    if len(seg) < 2048:
        return 0.0
    mean = sum(seg) / len(seg)
    seg = [v - mean for v in seg]
    n = 1024
    energy = sum(v * v for v in seg[:n]) or 1.0
    lo, hi = int(RATE / (expected * 2)), int(RATE / (expected / 2)) + 1
    corr = {}
    for lag in range(lo, hi + 1):
        other = sum(v * v for v in seg[lag:lag + n]) or 1.0
        corr[lag] = sum(seg[i] * seg[i + lag] for i in range(n)) / math.sqrt(energy * other)
    best = max(corr.values())
    lag = next(l for l in range(lo, hi + 1) if corr[l] >= 0.9 * best and corr.get(l + 1, -1) <= corr[l] >= corr.get(l - 1, -1))
    a, b, c = corr.get(lag - 1, corr[lag]), corr[lag], corr.get(lag + 1, corr[lag])
    shift = 0.5 * (a - c) / (a - 2 * b + c) if (a - 2 * b + c) != 0 else 0.0
    return RATE / (lag + shift)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    first, written = first_song()
    with open(os.path.join(args.work, "first.mid"), "wb") as f:
        f.write(first)
    with open(os.path.join(args.work, "second.mid"), "wb") as f:
        f.write(second_song())
    listing = os.path.join(args.work, "songs.m3u")
    with open(listing, "w", newline="\r\n") as f:
        f.write(windows_path(os.path.join(args.work, "first.mid")) + "\n")
        f.write(windows_path(os.path.join(args.work, "second.mid")) + "\n")
    capture = os.path.join(args.work, "played.raw")
    env = dict(os.environ)
    env["CX_E2E_OPEN"] = windows_path(listing)
    env["WINEDLLOVERRIDES"] = "dsound="
    print("Cantorix.exe songs.m3u: two MIDI files through the built-in synthesizer")
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=240, env=env)
    check(proc.returncode == 0, f"the driver saw the list play, pause, speed up and end ({driver_output(proc, 700)})")
    parts = [p for p in captured_parts(capture) if p.strip(b"\0")]
    check(len(parts) >= 2, f"two files were heard ({[len(p) for p in captured_parts(capture)]} bytes per opening)")
    if len(parts) < 2:
        return finish()

    x = mono(parts[0])
    found = onsets_of(x)
    factor = 150 / 120
    expected = [t / factor for t, _ in written]
    check(len(found) >= len(expected), f"{len(found)} onsets heard in the first file, {len(expected)} notes written")
    if len(found) >= len(expected):
        # The first note fixes the start; the rest must follow the file's
        # timing at 125 %.
        zero = found[0] / RATE * 1000 - expected[0]
        errors = [abs(found[i] / RATE * 1000 - zero - expected[i]) for i in range(len(expected))]
        check(max(errors) <= 10.0, f"onsets within {max(errors):.1f} ms of the file's timing at 125 % (limit 10)")
        ratios = []
        for i, (_, f) in enumerate(written):
            heard = pitch(x, found[i], f)
            ratios.append(heard / f)
        worst = max(abs(r - 1) for r in ratios)
        check(worst <= 0.03, f"pitches within {worst * 100:.2f} % of A4 and E5 (limit 3 %)")
        last = found[len(expected) - 1]
        tail = x[last + int(0.5 * RATE):]
        check(any(abs(v) > 1000 for v in tail), "the snare hit on channel 10 sounds after the last note")
        spacing = [(found[i + 1] - found[i]) / RATE * 1000 for i in range(7)]
        check(all(abs(s - 200) <= 10 for s in spacing),
              f"FAST three times: eighth notes {min(spacing):.0f}-{max(spacing):.0f} ms apart instead of 250")
    y = mono(parts[1])
    found2 = onsets_of(y)
    heard = [pitch(y, s, 523.25) for s in found2[:4]]
    check(len(found2) >= 4 and all(abs(h / 523.25 - 1) <= 0.03 for h in heard),
          f"the second file follows with its C5 notes ({[round(h, 1) for h in heard]} Hz)")
    return finish()


if __name__ == "__main__":
    sys.exit(main())
