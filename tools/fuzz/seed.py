#!/usr/bin/env python3
"""Seeds the fuzzers' corpora under FUZZ_DIR/corpus/<target>: seeds missing
from a corpus are written, anything the fuzzers added is kept.

MPEG seeds are the first kilobyte of every decoder fixture behind the
harness's options byte; WAV seeds are small files of each PCM layout the
reader meets (odd chunks, padding, short format chunks); the others are the
texts the tests use."""
import glob
import os
import struct
import sys


def riff(chunks):
    body = b"WAVE" + b"".join(chunks)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def chunk(cid, body, pad=False):
    out = cid + struct.pack("<I", len(body)) + body
    return out + (b"\0" if pad and len(body) % 2 else b"")


def fmt(channels, rate, bits, size=16, tag=1):
    align = channels * bits // 8
    body = struct.pack("<HHIIHH", tag, channels, rate, rate * align, align, bits)
    return (body + b"\0" * 8)[:size]


def pcm(n):
    return bytes((i * 37 + 11) % 251 + 1 for i in range(n))


def wav_seeds():
    seeds = {}
    for channels in (1, 2):
        for bits in (8, 16):
            for rate in (8000, 11025, 22050, 44100):
                seeds[f"pcm-{rate}-{channels}ch-{bits}"] = riff(
                    [chunk(b"fmt ", fmt(channels, rate, bits)), chunk(b"data", pcm(600))])
    seeds["fmt18"] = riff([chunk(b"fmt ", fmt(2, 44100, 16, 18)), chunk(b"data", pcm(400))])
    seeds["fmt14"] = riff([chunk(b"fmt ", fmt(1, 8000, 8, 14)), chunk(b"data", pcm(300))])
    seeds["list-before-fmt"] = riff([chunk(b"LIST", b"INFOISFT\3\0\0\0ab\0", True),
                                     chunk(b"fmt ", fmt(2, 22050, 16)), chunk(b"data", pcm(500))])
    seeds["odd-fmt-padded"] = riff([chunk(b"fmt ", fmt(1, 11025, 8, 17), True),
                                    chunk(b"data", pcm(200))])
    seeds["odd-fmt-unpadded"] = riff([chunk(b"fmt ", fmt(1, 11025, 8, 17)), chunk(b"data", pcm(200))])
    seeds["fact-between"] = riff([chunk(b"fmt ", fmt(2, 48000, 16)), chunk(b"fact", b"\x10\0\0\0"),
                                  chunk(b"data", pcm(640))])
    seeds["data-claims-more"] = riff([chunk(b"fmt ", fmt(1, 8000, 16)),
                                      b"data" + struct.pack("<I", 0x7FFFFFF0) + pcm(100)])
    return seeds


M3U_SEEDS = {
    "crlf": b"C:\\Music\\one.mp3\r\nC:\\Music\\two.wav\r\n",
    "lf-no-last-end": b"D:\\a.MP2\n\nrelative\\b.mp1\nc.mpa",
    "cr-only": b"E:\\x.mid\rE:\\y.rmi\rX:\\Track01.cda\r",
    "mixed-kinds": b"list.m3u\r\nsong.\r\nnoext\r\n.mp\r\n" + b"L" * 300 + b".wav\r\n",
    "nul-inside": b"a.wav\0b.mp3\r\n\0\0c.MP3",
}

DISC_SEEDS = {
    "records": b"PlayListCount\0003\0LIST1\0C:\\lists\\disc.m3u\0SERIAL1\000-1234567\0"
               b"MEDIATYPE1\0008\0serial2\000 4294967295 \0List3\0X:\\a.m3u",
    "damaged": b"SERIAL\0\0SERIAL0\0abc\0LIST99999999999999999999\0 +12\tx\0MEDIATYPE-1\0\t-0",
}

COMMAND_LINE_SEEDS = {
    "keywords": b"/MIN /PLAY /AUTO ALLCLOSE",
    "file": b"  /min   C:\\Music\\song.mp3 /X",
    "force": b"/Xtra allclosed /PLAYING song.mp3",
    "quoted": b'/MIN "Z:\\My Music\\first song.mp3" /PLAY',
    "run": b"Z:\\My Music\\caf\xc3\xa9  song.mp3 /AUTO",
}


def write(folder, seeds):
    os.makedirs(folder, exist_ok=True)
    for name, data in seeds.items():
        path = os.path.join(folder, name)
        if os.path.exists(path):
            continue
        with open(path, "wb") as f:
            f.write(data)


def main():
    fuzz_dir = sys.argv[1]
    corpus = os.path.join(fuzz_dir, "corpus")
    mpeg = {}
    for path in sorted(glob.glob(os.path.join(fuzz_dir, "mpeg-fixtures", "*.mp?"))):
        with open(path, "rb") as f:
            head = f.read(1000)
        for options in (0, 3):
            mpeg[f"seed-{options}-{os.path.basename(path)}"] = bytes([options]) + head
    write(os.path.join(corpus, "mpeg_fuzz"), mpeg)
    write(os.path.join(corpus, "wav_fuzz"), wav_seeds())
    write(os.path.join(corpus, "m3u_fuzz"), M3U_SEEDS)
    write(os.path.join(corpus, "disc_records_fuzz"), DISC_SEEDS)
    write(os.path.join(corpus, "command_line_fuzz"), COMMAND_LINE_SEEDS)


if __name__ == "__main__":
    main()
