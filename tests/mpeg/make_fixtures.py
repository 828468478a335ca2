#!/usr/bin/env python3
"""Makes the decoder's test fixtures from Debian tools.

Signals come from sox; Layer III files from lame, Layer II files from
twolame and ffmpeg. No encoder here writes Layer I, so Layer I streams are
synthesised directly: valid frames with pseudo-random allocations, scale
factors and samples. Every file is also decoded by mpg123 into the
reference PCM (16-bit little-endian, interleaved).

Usage: make_fixtures.py OUTPUT_DIR
Writes OUTPUT_DIR/manifest.txt with one line per fixture:
    NAME FILE REFERENCE
The reference decoder is mpg123, except where noted below.
"""
import os
import random
import subprocess
import sys

SECONDS = "3"


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def signal(out, rate, name):
    """A music-like signal with sharp attacks (which make encoders switch to
    short blocks): a chord with a sweep in one channel, noise bursts and a
    different chord in the other, both with tremolo."""
    path = os.path.join(out, "%s-%d.wav" % (name, rate))
    if os.path.exists(path):
        return path
    left = path + ".l.wav"
    right = path + ".r.wav"
    clicks = path + ".c.wav"
    run("sox", "-R", "-n", "-r", str(rate), "-c", "1", "-b", "16", left, "synth", SECONDS,
        "sine", "220", "sine", "330", "sine", "500-5000", "remix", "1-3", "vol", "0.3",
        "tremolo", "4", "50")
    run("sox", "-R", "-n", "-r", str(rate), "-c", "1", "-b", "16", clicks, "synth", "0.02",
        "whitenoise", "pad", "0", "0.28", "repeat", "9", "vol", "0.7")
    run("sox", "-R", "-n", "-r", str(rate), "-c", "1", "-b", "16", right, "synth", SECONDS,
        "sine", "165", "sine", "247", "sine", "1200", "remix", "1-3", "vol", "0.3")
    mixed_right = path + ".rm.wav"
    run("sox", "-R", "-m", right, clicks, mixed_right, "trim", "0", SECONDS)
    run("sox", "-R", "-M", left, mixed_right, path)
    for p in (left, right, clicks, mixed_right):
        os.remove(p)
    return path


# ---------------------------------------------------------------- Layer I

class BitWriter:
    def __init__(self):
        self.bits = []

    def put(self, value, n):
        for i in range(n - 1, -1, -1):
            self.bits.append((value >> i) & 1)

    def bytes(self, total):
        bits = self.bits + [0] * (total * 8 - len(self.bits))
        return bytes(int("".join(map(str, bits[i:i + 8])), 2) for i in range(0, len(bits), 8))


def layer1_stream(path, mpeg1, rate_index, bitrate_index, mode, frames, seed):
    """Valid Layer I frames carrying pseudo-random subband data."""
    rng = random.Random(seed)
    rates = [44100, 48000, 32000] if mpeg1 else [22050, 24000, 16000]
    kbps = ([0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448] if mpeg1 else
            [0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256])[bitrate_index]
    frame_bytes = (kbps * 12000 // rates[rate_index]) * 4
    channels = 1 if mode == 3 else 2
    data = bytearray()
    for _ in range(frames):
        mode_ext = rng.randrange(4) if mode == 1 else 0
        bound = [4, 8, 12, 16][mode_ext] if mode == 1 else 32
        # Allocations that fit the frame: drop high subbands until they do.
        top = rng.randrange(12, 33)
        alloc = [[0] * 32 for _ in range(2)]
        for sb in range(top):
            for ch in range(channels):
                if sb >= bound and ch == 1:
                    alloc[1][sb] = alloc[0][sb]
                else:
                    alloc[ch][sb] = rng.choice([0, 1, 2, 3, 4, 5, 6, 8, 10, 14])

        def bits_needed():
            n = 32 + 4 * (channels * min(bound, 32) + (32 - min(bound, 32)) * (channels == 2)) \
                if channels == 2 else 32 + 4 * 32
            for sb in range(32):
                for ch in range(channels):
                    if alloc[ch][sb]:
                        n += 6
                        if not (sb >= bound and ch == 1):
                            n += 12 * (alloc[ch][sb] + 1)
            return n

        while bits_needed() > frame_bytes * 8:
            sb = max(s for s in range(32) if alloc[0][s] or alloc[1][s])
            alloc[0][sb] = alloc[1][sb] = 0
        w = BitWriter()
        w.put(0xFFF, 12)
        w.put(1 if mpeg1 else 0, 1)
        w.put(3, 2)           # Layer I
        w.put(1, 1)           # no CRC
        w.put(bitrate_index, 4)
        w.put(rate_index, 2)
        w.put(0, 1)           # padding
        w.put(0, 1)
        w.put(mode, 2)
        w.put(mode_ext, 2)
        w.put(0, 4)           # copyright, original, emphasis
        for sb in range(32):
            if sb < bound:
                for ch in range(channels):
                    w.put(alloc[ch][sb], 4)
            else:
                w.put(alloc[0][sb], 4)
        for sb in range(32):
            for ch in range(channels):
                if alloc[ch][sb]:
                    w.put(rng.randrange(10, 40), 6)
        for _ in range(12):
            for sb in range(32):
                for ch in range(channels):
                    if sb >= bound and ch == 1:
                        continue
                    a = alloc[ch][sb]
                    if a:
                        w.put(rng.randrange((1 << (a + 1)) - 1), a + 1)
        data += w.bytes(frame_bytes)
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- intensity

def with_intensity_stereo(source, path):
    """Copies an MPEG-1 Layer III file, switching intensity stereo on in
    every joint-stereo frame header. No encoder here writes intensity
    stereo; with the bit set, the right channel's scale factors above its
    last nonzero line become intensity positions, which exercises the whole
    intensity path of a decoder on real data."""
    bitrates = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]
    rates = [44100, 48000, 32000]
    data = bytearray(open(source, "rb").read())
    at = 0
    while at + 4 <= len(data) and data[at] == 0xFF and (data[at + 1] & 0xFE) == 0xFA:
        bitrate = bitrates[data[at + 2] >> 4]
        rate = rates[(data[at + 2] >> 2) & 3]
        padding = (data[at + 2] >> 1) & 1
        if data[at + 3] >> 6 == 1:
            data[at + 3] |= 0x10
        at += 144000 * bitrate // rate + padding
    with open(path, "wb") as f:
        f.write(data)


# ---------------------------------------------------------------- fixtures

def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    fixtures = []  # (name, file, reference decoder)

    def lame(name, rate, *options):
        path = os.path.join(out, name + ".mp3")
        run("lame", "--quiet", *options, signal(out, rate, "mix"), path)
        fixtures.append((name, path, "mpg123"))

    def twolame(name, rate, *options):
        path = os.path.join(out, name + ".mp2")
        run("twolame", "--quiet", *options, signal(out, rate, "mix"), path)
        fixtures.append((name, path, "mpg123"))

    def ffmpeg_mp2(name, rate, *options):
        path = os.path.join(out, name + ".mp2")
        run("ffmpeg", "-v", "quiet", "-y", "-i", signal(out, rate, "mix"), "-c:a", "mp2", *options, path)
        fixtures.append((name, path, "mpg123"))

    # Layer III, MPEG-1. -t leaves out the information frame (one file
    # keeps it: the decoder skips it, as the reference does).
    lame("l3-44k-joint-128", 44100, "-t", "-m", "j", "-b", "128")
    lame("l3-44k-stereo-192", 44100, "-t", "-m", "s", "-b", "192")
    lame("l3-44k-forced-ms-160", 44100, "-t", "-m", "f", "-b", "160")
    lame("l3-44k-dual-192", 44100, "-t", "-m", "d", "-b", "192")
    lame("l3-44k-mono-64", 44100, "-t", "-m", "m", "-b", "64")
    lame("l3-44k-joint-320", 44100, "-t", "-m", "j", "-b", "320")
    lame("l3-48k-vbr", 48000, "-t", "-V", "2")
    lame("l3-44k-vbr-xing", 44100, "-V", "5")
    lame("l3-32k-crc-96", 32000, "-t", "-p", "-b", "96")
    lame("l3-44k-infotag-128", 44100, "-b", "128")
    # The same file, trimmed of the encoder's delay and padding by both.
    fixtures.append(("l3-44k-infotag-128-gapless", os.path.join(out, "l3-44k-infotag-128.mp3"),
                     "mpg123-gapless"))
    # Intensity stereo (crafted from joint-stereo files, see above). mpg123
    # handles intensity positions in short blocks differently from the
    # standard's rule, per window above the last nonzero band, so ffmpeg is
    # the reference for these.
    for name in ("l3-44k-joint-128", "l3-44k-joint-320"):
        path = os.path.join(out, name + "-intensity.mp3")
        with_intensity_stereo(os.path.join(out, name + ".mp3"), path)
        fixtures.append((name + "-intensity", path, "ffmpeg"))
    # Layer III, lower sampling frequencies.
    lame("l3-22k-joint-64", 22050, "-t", "-m", "j", "-b", "64")
    lame("l3-24k-stereo-96", 24000, "-t", "-m", "s", "-b", "96")
    lame("l3-16k-mono-32", 16000, "-t", "-m", "m", "-b", "32")
    lame("l3-22k-vbr", 22050, "-t", "-V", "5")
    # Layer III at the quartered rates (version bits 00), each rate mono
    # and stereo, CBR and VBR; one file keeps its information frame and is
    # compared trimmed as well.
    lame("l3-8k-mono-16", 8000, "-t", "-m", "m", "-b", "16")
    lame("l3-8k-joint-24", 8000, "-t", "-m", "j", "-b", "24")
    lame("l3-8k-vbr", 8000, "-t", "-V", "6")
    lame("l3-11k-stereo-32", 11025, "-t", "-m", "s", "-b", "32")
    lame("l3-11k-mono-vbr", 11025, "-t", "-m", "m", "-V", "4")
    lame("l3-12k-mono-24", 12000, "-t", "-m", "m", "-b", "24")
    lame("l3-12k-joint-vbr-xing", 12000, "-V", "3")
    fixtures.append(("l3-12k-joint-vbr-xing-gapless", os.path.join(out, "l3-12k-joint-vbr-xing.mp3"),
                     "mpg123-gapless"))
    # Layer II: the four MPEG-1 allocation tables, mono, CRC, and the table
    # of the lower sampling frequencies.
    twolame("l2-48k-joint-128-table-a", 48000, "-m", "j", "-b", "128")
    twolame("l2-44k-stereo-192-table-b", 44100, "-m", "s", "-b", "192")
    twolame("l2-48k-stereo-64-table-c", 48000, "-m", "s", "-b", "64")
    twolame("l2-32k-stereo-64-table-d", 32000, "-m", "s", "-b", "64")
    twolame("l2-32k-mono-96", 32000, "-m", "m", "-b", "96")
    twolame("l2-44k-crc-padded-256", 44100, "-p", "-d", "-b", "256")
    twolame("l2-44k-ancillary-192", 44100, "-R", "64", "-b", "192")
    twolame("l2-22k-stereo-96-lsf", 22050, "-m", "s", "-b", "96")
    twolame("l2-24k-joint-64-lsf", 24000, "-m", "j", "-b", "64")
    ffmpeg_mp2("l2-24k-stereo-64-lsf", 24000, "-b:a", "64k")
    ffmpeg_mp2("l2-16k-mono-48-lsf", 16000, "-ac", "1", "-b:a", "48k")
    # Layer I, synthesised.
    for name, mpeg1, rate, bitrate, mode, seed in [
            ("l1-44k-stereo-384", True, 0, 12, 0, 1),
            ("l1-48k-joint-256", True, 1, 8, 1, 2),
            ("l1-32k-mono-192", True, 2, 6, 3, 3),
            ("l1-22k-stereo-192-lsf", False, 0, 12, 0, 4)]:
        path = os.path.join(out, name + ".mp1")
        layer1_stream(path, mpeg1, rate, bitrate, mode, 250, seed)
        fixtures.append((name, path, "mpg123"))

    with open(os.path.join(out, "manifest.txt.tmp"), "w") as manifest:
        for name, path, decoder in fixtures:
            ref = os.path.join(out, name + ".ref.raw")
            if decoder == "ffmpeg":
                command = ["ffmpeg", "-v", "quiet", "-i", path, "-f", "s16le", "-acodec", "pcm_s16le", "-"]
            elif decoder == "mpg123-gapless":
                command = ["mpg123", "-q", "--gapless", "-s", path]
            else:
                command = ["mpg123", "-q", "--no-gapless", "-s", path]
            with open(ref, "wb") as f:
                subprocess.run(command, check=True, stdout=f, stderr=subprocess.DEVNULL)
            manifest.write("%s %s %s\n" % (name, os.path.basename(path), os.path.basename(ref)))
    for f in os.listdir(out):
        if f.startswith("mix-") and f.endswith(".wav"):
            os.remove(os.path.join(out, f))
    os.replace(os.path.join(out, "manifest.txt.tmp"), os.path.join(out, "manifest.txt"))


if __name__ == "__main__":
    main()
