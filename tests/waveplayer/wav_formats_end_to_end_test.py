#!/usr/bin/env python3
"""Cantorix.exe plays WAV files in the formats editors write beside plain
PCM, under Wine into ALSA's file sink (wave output engine, dsound off):
an extensible 24-bit stereo file, a 32-bit float file with samples past
full scale, a 64-bit float file, an extensible 5.1 file, and a skip in a
24-bit stereo file.
The captured samples are compared with the file's own or with the
conversion float -> 24-bit integer (clipped); where the device takes only
16 bits, with the 24-bit values within one 16-bit step (dither)."""
import argparse
import array
import math
import os
import random
import shutil
import struct
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
sys.path.insert(0, HERE)
from capture_checks import captured_parts, check, finish, first_difference, without_fill  # noqa: E402
import end_to_end_test as e2e  # noqa: E402

SUBTYPE_TAIL = bytes([0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71])


def wav_bytes(tag, channels, rate, bits, data, mask=3, subformat=1):
    align = channels * bits // 8
    fmt = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    if tag == 0xFFFE:
        fmt += struct.pack("<HHIH", 22, bits, mask, subformat) + SUBTYPE_TAIL
    else:
        fmt += struct.pack("<H", 0)
    chunks = b"fmt " + struct.pack("<I", len(fmt)) + fmt
    chunks += b"data" + struct.pack("<I", len(data)) + data
    return b"RIFF" + struct.pack("<I", 4 + len(chunks)) + b"WAVE" + chunks


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)
    return path


def to24(x):
    """A float sample as the player must deliver it: full scale 2^23,
    rounded half away from zero, clipped."""
    v = math.copysign(math.floor(abs(x) * 8388608.0 + 0.5), x)
    return int(max(-8388608, min(8388607, v)))


def s24(data):
    return [int.from_bytes(data[i:i + 3], "little", signed=True) for i in range(0, len(data) - 2, 3)]


def first_device_opening(args, path):
    capture = path + ".played"
    e2e.play(args, capture, path)
    parts = captured_parts(capture)
    return parts[0] if parts else b""


def heard_as(first, want24, what, rate=48000):
    """The first opening holds the 24-bit values exactly, or 16-bit ones
    within 1.5 steps of them (the device refused 24 bits)."""
    n = len(want24)
    first = without_fill(first, b"".join(v.to_bytes(3, "little", signed=True) for v in want24), 6, rate)
    if len(first) >= 3 * n and s24(first[:3 * n]) == want24:
        return check(first[3 * n:].strip(b"\0") == b"", f"{what}: {n} samples at 24 bits exactly, then silence")
    heard = array.array("h", first[:2 * n])
    worst = max((abs(a - b / 256.0) for a, b in zip(heard, want24)), default=1 << 16)
    return check(len(heard) == n and worst <= 1.5,
                 f"{what}: at 16 bits, {len(heard)} of {n} samples, largest error {worst:.2f} steps")


def extensible_24(args, work):
    raw = os.path.join(work, "ext24.raw")
    e2e.run(["sox", "-n", "-r", "48000", "-c", "2", "-b", "24", "-e", "signed-integer", "-t", "raw", raw,
             "synth", "1.2", "sine", "310", "sine", "740", "vol", "0.7"])
    with open(raw, "rb") as f:
        pcm = f.read()
    path = write(os.path.join(work, "extensible 24.wav"), wav_bytes(0xFFFE, 2, 48000, 24, pcm))
    print("Cantorix.exe 'extensible 24.wav' (WAVE_FORMAT_EXTENSIBLE, PCM, 24-bit stereo): the samples as stored")
    heard_as(first_device_opening(args, path), s24(pcm), "extensible 24-bit")


def float_files(args, work):
    rate = 44100
    # A sine that overshoots full scale by 30%: the tops must clip, not wrap.
    values = []
    for i in range(int(rate * 1.1)):
        t = i / rate
        values += [1.3 * math.sin(2 * math.pi * 220 * t), 0.6 * math.sin(2 * math.pi * 517 * t)]
    f32 = array.array("f", values)
    path = write(os.path.join(work, "float32.wav"), wav_bytes(3, 2, rate, 32, f32.tobytes()))
    print("Cantorix.exe float32.wav (format tag 3, 32-bit float, peaks at 1.3): converted to 24 bits, clipped")
    want = [to24(x) for x in f32]
    check(sum(1 for v in want if v in (8388607, -8388608)) > 1000, "the file has clipped stretches")
    heard_as(first_device_opening(args, path), want, "32-bit float", rate)

    f64 = array.array("d", [x * 0.5 for x in values[:rate]])
    path = write(os.path.join(work, "float64.wav"),
                 wav_bytes(0xFFFE, 2, rate, 64, f64.tobytes(), subformat=3))
    print("Cantorix.exe float64.wav (extensible, 64-bit float): converted to 24 bits")
    heard_as(first_device_opening(args, path), [to24(x) for x in f64], "64-bit float", rate)


def five_one(args, work):
    rate, align = 48000, 12
    pcm = random.Random(3).randbytes(rate * align).translate(bytes([1]) + bytes(range(1, 256)))
    path = write(os.path.join(work, "five one.wav"), wav_bytes(0xFFFE, 6, rate, 16, pcm, mask=0x3F))
    print("Cantorix.exe 'five one.wav' (extensible, 16-bit 5.1): all six channels, every frame")
    first = first_device_opening(args, path)
    # ALSA orders 5.1 as front, rear, centre and bass; Wine maps the file's
    # order (front, centre, bass, rear) onto it.
    alsa = b"".join(pcm[f + 2 * c:f + 2 * c + 2] for f in range(0, len(pcm), align) for c in (0, 1, 4, 5, 2, 3))
    first = without_fill(first, alsa if first[:align] == alsa[:align] else pcm, align, rate)[:len(pcm)]
    check(first in (pcm, alsa), f"{len(first) // align} of {len(pcm) // align} frames of six channels, "
                                f"{'in ALSA order' if first == alsa else 'as stored' if first == pcm else 'wrong'}")


def seek_offsets(avg, align, ms_max):
    """Every byte offset a seek to a whole millisecond may land on."""
    single = struct.unpack("f", struct.pack("f", 0.001))[0]
    return {int(avg * ms * single) // align * align for ms in range(ms_max)}


def skip_in_24(args, work):
    rate, align = 48000, 6
    rng = random.Random(5)
    frames = rate * 30
    # Noise with no zero byte: no stretch of it repeats, and none is silence.
    pcm = rng.randbytes(frames * align).translate(bytes([1]) + bytes(range(1, 256)))
    path = write(os.path.join(work, "skip24.wav"), wav_bytes(1, 2, rate, 24, pcm))
    print("Cantorix.exe skip24.wav (24-bit stereo, frames of 6 bytes): SKIPF lands on a whole frame 10 s on")
    os.environ["CX_E2E_SKIP"] = "1"
    try:
        first = first_device_opening(args, path)
    finally:
        del os.environ["CX_E2E_SKIP"]
    if not check(len(first) > 0, f"the device played {len(first)} bytes"):
        return
    # On a busy machine the skip may come before the device took anything
    # from the start of the file: then it got only the file from 10 s on.
    start = pcm.find(first.lstrip(b"\0")[:600])
    if start < 0 or start % align:
        check(False, "the device took the samples as stored (24 bits); a skip at 16 bits is not compared")
        return
    head = first_difference(first, pcm) // align * align
    tail = first[head:].rstrip(b"\0")
    # Wine writes silence while the device is stopped for the seek.
    lead = len(tail) - len(tail.lstrip(b"\0"))
    tail = tail[lead:]
    at = pcm.find(tail[:600]) if len(tail) >= 600 else -1
    check(at >= 0 and pcm[at:at + len(tail)] == tail,
          f"after {head // align} frames the rest is one stretch of the file from byte {at}, "
          f"{len(tail) // align} frames")
    if at < 0:
        return
    gap_ms = (at - head) * 1000 / (rate * align)
    check(at % align == 0 and at in seek_offsets(rate * align, align, 30000),
          f"it starts on a frame a seek to a whole millisecond gives (byte {at}, frame {at / align})")
    # The skip goes 10 s on from what the device reports heard. The sink holds
    # more than that: it takes samples when Wine hands them to ALSA, up to
    # ALSA's buffer (40 ms here) before the device counts them as played; and
    # the heard position may lag by what the device holds.
    check(9900 <= gap_ms <= 12500, f"{gap_ms:.0f} ms after what was heard before the skip")
    check(len(first[head:].rstrip(b"\0")) - lead == len(pcm) - at, "it plays on to the end of the file")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    extensible_24(args, args.work)
    float_files(args, args.work)
    five_one(args, args.work)
    skip_in_24(args, args.work)
    return finish()


if __name__ == "__main__":
    sys.exit(main())
