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
import re
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


def play(args, capture, *player_args, timeout=60, overrides=None):
    """Runs playfile; returns (exit code, output, captured bytes)."""
    for old in glob.glob(capture + "*"):
        os.remove(old)
    env = dict(os.environ)
    env.pop("WINEDLLOVERRIDES", None)
    if overrides:
        env["WINEDLLOVERRIDES"] = overrides
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


def continues_after_one_cut(played, pcm, limit):
    """True when `played` is the source with at most one stretch of fewer
    than `limit` bytes missing; returns (ok, bytes missing)."""
    if played == pcm:
        return True, 0
    a = next((i for i in range(min(len(played), len(pcm))) if played[i] != pcm[i]), min(len(played), len(pcm)))
    lost = len(pcm) - len(played)
    return 0 <= lost < limit and played[a:] == pcm[a + lost:], lost


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
    # Wine's wave mapper can drop a few samples it had handed to the sink
    # when it is paused; nothing may be repeated and nothing else lost.
    ok, lost = continues_after_one_cut(strip_silence(data, 8), long_pcm, 64)
    check(ok, f"every byte arrives once, in order, across the pause ({lost} bytes dropped at the pause)")
    check(silence_runs_inside(data, 8) <= 1, "silence only where the pause was")

    print("wave output: 20 s file, stop after 800 ms")
    rc, out, data = play(args, cap, "--stop", "800", "--linger", "1500", windows_path(path))
    check(rc == 0 and "ends=0" in out, f"no end notification after a stop ({out.strip()})")
    played = strip_silence(data, 8)
    check(0 < len(played) < len(long_pcm) and long_pcm.startswith(played),
          f"what was played before the stop is the start of the file ({len(played)} bytes)")


def source_values(pcm, channels, bits):
    """The source as per-channel lists of values scaled to -1..1."""
    if bits == 8:
        vals = [(b - 128) / 128.0 for b in pcm]
    else:
        a = array.array("h")
        a.frombytes(pcm)
        vals = [v / 32768.0 for v in a]
    return [vals[c::channels] for c in range(channels)]


def sounding_frames(data):
    """The float32 stereo capture as (left, right) lists without silent frames,
    and the number of silent stretches between sounding frames."""
    f = array.array("f")
    f.frombytes(data[: len(data) // 8 * 8])
    left, right, gaps, silent, started = [], [], 0, False, False
    for i in range(0, len(f), 2):
        l, r = f[i], f[i + 1]
        if l == 0.0 and r == 0.0:
            silent = started
            continue
        if silent:
            gaps += 1
            silent = False
        started = True
        left.append(l)
        right.append(r)
    return left, right, gaps


def compare_mixed(data, pcm, channels, bits, what):
    """DirectSound output is mixed into 32-bit float; at the buffer's own
    rate of 48000 Hz every frame must be the source frame times one gain per
    output channel (the 3D buffer at its default position)."""
    src = source_values(pcm, channels, bits)
    left, right, gaps = sounding_frames(data)
    n = len(src[0])
    if not check(len(left) == n, f"{what}: {n} source frames arrive (captured {len(left)} sounding frames)"):
        return gaps
    ref_l, ref_r = src[0], src[-1]
    k = max(range(min(n, 4000)), key=lambda i: abs(ref_l[i]))
    g_l = left[k] / ref_l[k]
    g_r = right[k] / ref_r[k]
    check(0.5 < g_l < 1.01 and 0.5 < g_r < 1.01, f"{what}: gains {g_l:.4f} / {g_r:.4f}")
    worst = max(max(abs(left[i] - g_l * ref_l[i]), abs(right[i] - g_r * ref_r[i])) for i in range(n))
    check(worst < 1e-4, f"{what}: every frame equals the source frame times the gain (worst error {worst:.2e})")
    return gaps


def dsound_cases(args, work):
    cap = os.path.join(work, "dsound.raw")
    for name, channels, bits, secs in [("16-bit stereo 48000 Hz, 2.5 s", 2, 16, 2.5),
                                       ("8-bit mono 48000 Hz, 1.3 s", 1, 8, 1.3)]:
        print(f"DirectSound: {name}")
        pcm = nonsilent_pcm(int(48000 * secs) * channels * bits // 8, 31 + bits, bits)
        path = os.path.join(work, "ds.wav")
        write_wav(path, 48000, channels, bits, pcm)
        rc, out, data = play(args, cap, "--dsound", windows_path(path))
        check(rc == 0 and "ends=1" in out, f"one end notification after the last half ({out.strip()})")
        gaps = compare_mixed(data, pcm, channels, bits, name)
        check(gaps == 0, "no gap, and the padding after the end is silence")

    print("DirectSound: 16-bit stereo 44100 Hz, 2 s (resampled by the mixer)")
    pcm = nonsilent_pcm(44100 * 2 * 4, 5, 16)
    path = os.path.join(work, "ds441.wav")
    write_wav(path, 44100, 2, 16, pcm)
    rc, out, data = play(args, cap, "--dsound", windows_path(path))
    check(rc == 0 and "ends=1" in out, f"one end notification ({out.strip()})")
    left, _, gaps = sounding_frames(data)
    check(abs(len(left) - 96000) < 200, f"2 s arrive as about 96000 frames at 48000 Hz ({len(left)})")
    check(gaps == 0, "no gap")

    long_pcm = nonsilent_pcm(48000 * 12, 9, 8)
    path = os.path.join(work, "dslong.wav")
    write_wav(path, 48000, 1, 8, long_pcm)
    print("DirectSound: 12 s file, pause for 700 ms after 1 s, then resume")
    rc, out, data = play(args, cap, "--dsound", "--pause", "1000:700", windows_path(path))
    check(rc == 0 and "ends=1" in out, f"nothing refilled while paused, one end notification ({out.strip()})")
    gaps = compare_mixed(data, long_pcm, 1, 8, "across the pause")
    check(gaps <= 1, "silence only where the pause was")

    print("DirectSound: 12 s file, seek to 0.5 s after 1 s of playing")
    rc, out, data = play(args, cap, "--dsound", "--seek", "1000:500", windows_path(path))
    check(rc == 0 and "ends=1" in out, f"one end notification ({out.strip()})")
    m = re.search(r"seek from (\d+) ms to 500 ms: 500", out)
    if check(m is not None, "the seek was taken"):
        # The halves already filled play out first, then the new position.
        filled = int(m.group(1)) * 48
        target = int(48000 * 500 * 0.0010000000474974513)
        heard = long_pcm[:filled] + long_pcm[target:]
        compare_mixed(data, heard, 1, 8, f"the first {filled} frames, then from frame {target}")

    print("DirectSound: 12 s file, stop after 800 ms")
    rc, out, data = play(args, cap, "--dsound", "--stop", "800", "--linger", "1500", windows_path(path))
    check(rc == 0 and "ends=0" in out, f"no end notification after a stop ({out.strip()})")
    left, _, _ = sounding_frames(data)
    check(0 < len(left) < len(long_pcm), f"played only the start ({len(left)} frames)")


def decoded_reference(args, mp3, work):
    """What the program's own decoder makes of the file (cxdecode --raw)."""
    out = os.path.join(work, os.path.basename(mp3) + ".pcm")
    subprocess.run([args.wine_run, "--no-audio", args.cxdecode, "--raw", windows_path(mp3),
                    windows_path(out)], check=True, capture_output=True, timeout=120)
    with open(out, "rb") as f:
        return f.read()


def trimmed(frames_or_bytes, is_silent):
    a, b = 0, len(frames_or_bytes)
    while a < b and is_silent(frames_or_bytes[a]):
        a += 1
    while b > a and is_silent(frames_or_bytes[b - 1]):
        b -= 1
    return frames_or_bytes[a:b]


def mpeg_cases(args, work):
    fixtures = args.mpeg_fixtures
    mp3 = os.path.join(fixtures, "l3-44k-joint-128.mp3")
    print("wave output: MP3, 44100 Hz joint stereo")
    ref = decoded_reference(args, mp3, work)
    rc, out, data = play(args, os.path.join(work, "mp3.raw"), windows_path(mp3))
    check(rc == 0 and "ends=1" in out, f"one end notification ({out.strip()})")
    # The sink adds only silence before and after; between, the decoder's
    # PCM must arrive as it is.
    ref16 = array.array("h")
    ref16.frombytes(ref)
    cap16 = array.array("h")
    cap16.frombytes(data[: len(data) // 2 * 2])
    want = trimmed(ref16, lambda v: v == 0)
    got = trimmed(cap16, lambda v: v == 0)
    check(len(got) == len(want) and got == want,
          f"the decoded PCM arrives bit for bit ({2 * len(want)} bytes expected, {2 * len(got)} captured)")

    mp3 = os.path.join(fixtures, "l3-48k-vbr.mp3")
    print("DirectSound: MP3, 48000 Hz")
    ref = decoded_reference(args, mp3, work)
    rc, out, data = play(args, os.path.join(work, "mp3ds.raw"), "--dsound", windows_path(mp3))
    check(rc == 0 and "ends=1" in out, f"one end notification ({out.strip()})")
    ref16 = array.array("h")
    ref16.frombytes(ref)
    want = trimmed([(ref16[i] / 32768.0, ref16[i + 1] / 32768.0) for i in range(0, len(ref16) - 1, 2)],
                   lambda f: f == (0.0, 0.0))
    f = array.array("f")
    f.frombytes(data[: len(data) // 8 * 8])
    got = trimmed([(f[i], f[i + 1]) for i in range(0, len(f) - 1, 2)], lambda v: v == (0.0, 0.0))
    if check(len(got) == len(want), f"{len(want)} decoded frames arrive (captured {len(got)})"):
        gain = 0.70710678
        worst = max(max(abs(g[0] - gain * w[0]), abs(g[1] - gain * w[1])) for g, w in zip(got, want))
        check(worst < 1e-4, f"every frame is the decoded frame times the 3D gain (worst error {worst:.2e})")


def fallback_cases(args, work):
    # Without dsound.dll the program still starts and plays through the wave
    # output device: DirectSound is loaded at run time, not imported.
    print("without dsound.dll")
    cap = os.path.join(work, "fallback.raw")
    pcm = nonsilent_pcm(11025, 3, 8)
    path = os.path.join(work, "fallback.wav")
    write_wav(path, 11025, 1, 8, pcm)
    rc, out, _ = play(args, cap, "--dsound", windows_path(path), overrides="dsound=")
    check(rc == 4 and "DirectSound is not available" in out, f"DirectSound set-up fails cleanly ({out.strip()})")
    rc, out, data = play(args, cap, windows_path(path), overrides="dsound=")
    check(rc == 0 and "ends=1" in out and strip_silence(data, 8) == pcm, "the wave output device plays the file")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--wine-run", required=True)
    ap.add_argument("--player", required=True)
    ap.add_argument("--work", required=True)
    ap.add_argument("--cases", default="waveout,dsound,fallback,mpeg")
    ap.add_argument("--cxdecode")
    ap.add_argument("--mpeg-fixtures")
    args = ap.parse_args()
    os.makedirs(args.work, exist_ok=True)
    groups = {"waveout": waveout_cases, "dsound": dsound_cases, "fallback": fallback_cases,
              "mpeg": mpeg_cases}
    for name in args.cases.split(","):
        groups[name](args, args.work)
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
