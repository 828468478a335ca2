#!/usr/bin/env python3
"""Makes the Ogg Vorbis test corpus from Debian tools: signals from sox,
streams from oggenc, the reference PCM from oggdec -R (16-bit signed
little-endian, interleaved).

Usage: make_corpus.py OUTPUT_DIR
Writes OUTPUT_DIR/manifest.txt with one line per file:
    NAME KIND CHANNELS RATE SAMPLES FILE REFERENCE
KIND is plain, chained (two streams one after the other) or damaged (bytes
flipped in the middle; its reference is the undamaged file's). SAMPLES is
the encoder's input length in frames.
"""
import os
import subprocess
import sys

# name, rate, channels, sox synth arguments, oggenc arguments
CORPUS = [
    ("q-1-44k-stereo", 44100, 2, ["3", "pinknoise", "sine", "300"], ["-q", "-1"]),
    ("q0-8k-mono", 8000, 1, ["3", "sine", "200-3000", "pinknoise"], ["-q", "0"]),
    ("q2-11k-stereo", 11025, 2, ["2", "square", "150", "sine", "2000"], ["-q", "2"]),
    ("q3-22k-mono", 22050, 1, ["3", "pinknoise", "sine", "440"], ["-q", "3"]),
    ("q4-32k-stereo", 32000, 2, ["3", "sine", "100-8000", "whitenoise"], ["-q", "4"]),
    ("q5-44k-5.1", 44100, 6, ["2", "pinknoise", "sine", "330", "sine", "500", "whitenoise",
                              "sine", "60", "sine", "900"], ["-q", "5"]),
    ("q6-48k-stereo", 48000, 2, ["3", "pinknoise", "sine", "220", "sine", "5000"], ["-q", "6"]),
    ("q8-88k-stereo", 88200, 2, ["2", "pinknoise", "sine", "1000"], ["-q", "8"]),
    ("q10-96k-stereo", 96000, 2, ["2", "whitenoise", "sine", "440"], ["-q", "10"]),
    ("q10-44k-mono-loud", 44100, 1, ["2", "square", "80"], ["-q", "10"]),
    ("managed-44k-stereo", 44100, 2, ["3", "pinknoise", "sine", "700"],
     ["--managed", "-b", "96", "-m", "64", "-M", "128"]),
    ("few-samples", 44100, 2, ["7s", "whitenoise"], ["-q", "5"]),
    ("one-sample", 22050, 1, ["2s", "whitenoise"], ["-q", "3"]),
    ("tagged", 44100, 2, ["1", "sine", "440"],
     ["-q", "3", "-t", "Caf\u00e9 \u00e0 la carte", "-a", "Ensemble \u00c9toile", "-l", "Nuits \u2014 vol. 2"]),
]


def run(*args):
    subprocess.run(args, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make(out, name, rate, channels, synth, enc):
    wav = os.path.join(out, name + ".wav")
    ogg = os.path.join(out, name + ".ogg")
    gains = ["gain", "-1"] if "loud" in name else ["vol", "0.4"]
    # With several generators sox gives each channel its own, cycling.
    run("sox", "-R", "-n", "-r", str(rate), "-c", str(channels), "-b", "16", wav, "synth", *synth, *gains)
    frames = int(subprocess.run(["soxi", "-s", wav], check=True, capture_output=True, text=True).stdout)
    run("oggenc", "-Q", *enc, wav, "-o", ogg)
    os.remove(wav)
    return frames


def reference(out, ogg, ref):
    run("oggdec", "-Q", "-R", "-o", os.path.join(out, ref), os.path.join(out, ogg))


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    lines = []
    for name, rate, channels, synth, enc in CORPUS:
        frames = make(out, name, rate, channels, synth, enc)
        reference(out, name + ".ogg", name + ".raw")
        lines.append("%s plain %d %d %d %s.ogg %s.raw" % (name, channels, rate, frames, name, name))
    # Two streams of one format back to back.
    a = make(out, "link-a", 44100, 2, ["2", "pinknoise", "sine", "500"], ["-q", "4"])
    b = make(out, "link-b", 44100, 2, ["3", "sine", "300-900", "whitenoise"], ["-q", "1"])
    with open(os.path.join(out, "chained.ogg"), "wb") as f:
        for part in ("link-a.ogg", "link-b.ogg"):
            with open(os.path.join(out, part), "rb") as p:
                f.write(p.read())
    reference(out, "chained.ogg", "chained.raw")
    lines.append("chained chained 2 44100 %d chained.ogg chained.raw" % (a + b))
    # Forty bytes flipped in the middle of a page of audio.
    frames = make(out, "damaged-src", 44100, 2, ["4", "pinknoise", "sine", "600"], ["-q", "5"])
    reference(out, "damaged-src.ogg", "damaged.raw")
    with open(os.path.join(out, "damaged-src.ogg"), "rb") as f:
        data = bytearray(f.read())
    middle = len(data) // 2
    for i in range(middle, middle + 40):
        data[i] ^= 0x5A
    with open(os.path.join(out, "damaged.ogg"), "wb") as f:
        f.write(data)
    lines.append("damaged damaged 2 44100 %d damaged.ogg damaged.raw" % frames)
    with open(os.path.join(out, "manifest.txt"), "w") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
