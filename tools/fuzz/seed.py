#!/usr/bin/env python3
"""Seeds the fuzzers' corpora under FUZZ_DIR/corpus/<target>: seeds missing
from a corpus are written, anything the fuzzers added is kept.

MPEG seeds are the first kilobyte of every decoder fixture behind the
harness's options byte; WAV seeds are small files of each PCM layout the
reader meets (odd chunks, padding, short format chunks); FLAC seeds are
short streams sox and the reference encoder make here (every depth class,
mono to six channels, small blocks so a few kilobytes hold several frames,
with and without a seek table); Ogg Vorbis seeds are the decoder's test
corpus files, cut to 16 kB, behind the harness's options byte; MIDI seeds are small songs of each kind the
reader meets (format 0, 1 and 2, running status, tempo changes, sysex,
RMID, SMPTE); SoundFont seeds are small banks built here (global zones,
ranges, loops, a drum kit); the others are the texts the tests use."""
import glob
import os
import struct
import subprocess
import sys
import tempfile


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

def vlq(v):
    out = [v & 0x7F]
    v >>= 7
    while v:
        out.append((v & 0x7F) | 0x80)
        v >>= 7
    return bytes(reversed(out))


def track(events, running=False):
    """events: (delta, bytes) pairs; channel messages lose a repeated
    status byte when running is set."""
    body = b""
    last = None
    for delta, ev in events:
        if running and ev[0] < 0xF0 and ev[0] == last:
            ev = ev[1:]
        else:
            last = ev[0] if ev[0] < 0xF0 else None
        body += vlq(delta) + ev
    return b"MTrk" + struct.pack(">I", len(body)) + body


def smf(fmt, division, tracks):
    return b"MThd" + struct.pack(">IHHH", 6, fmt, len(tracks), division) + b"".join(tracks)


def notes(channel, program):
    ev = [(0, bytes([0xC0 | channel, program])), (0, bytes([0xB0 | channel, 7, 100]))]
    for i, key in enumerate((60, 64, 67, 72)):
        ev += [(120, bytes([0x90 | channel, key, 90])), (100, bytes([0x80 | channel, key, 0]))]
    ev += [(0, bytes([0xE0 | channel, 0, 0x50])), (0, bytes([0xB0 | channel, 64, 127])),
           (50, bytes([0x90 | channel, 48, 0])), (0, b"\xff\x2f\x00")]
    return ev


TEMPO = [(0, b"\xff\x51\x03\x07\xa1\x20"), (480, b"\xff\x51\x03\x03\xd0\x90"),
         (0, b"\xff\x2f\x00")]
SYSEX = [(0, b"\xf0\x05\x7e\x7f\x09\x01\xf7"), (0, b"\xff\x03\x04name"),
         (10, b"\xf7\x02\x43\x10")]


def midi_seeds():
    type0 = smf(0, 480, [track(TEMPO[:2] + SYSEX + notes(0, 1))])
    seeds = {
        "type0": type0,
        "type1-running": smf(1, 96, [track(TEMPO, True), track(notes(0, 40), True),
                                     track(notes(9, 0), True)]),
        "type2": smf(2, 480, [track(notes(1, 20)), track(notes(2, 30))]),
        "smpte": smf(0, 0xE728, [track(notes(3, 50))]),
        "rpn-resets": smf(0, 480, [track([(0, b"\xb0\x65\x00"), (0, b"\xb0\x64\x00"),
                                           (0, b"\xb0\x06\x0c"), (0, b"\xb0\x79\x00"),
                                           (0, b"\xb0\x7b\x00"), (0, b"\xb0\x78\x00")] +
                                          notes(0, 5))]),
    }
    body = b"RMID" + b"data" + struct.pack("<I", len(type0)) + type0
    seeds["rmid"] = b"RIFF" + struct.pack("<I", len(body)) + body
    return seeds


def sf2_chunk(cid, body):
    return cid + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def sf2_list(kind, chunks):
    return sf2_chunk(b"LIST", kind + b"".join(chunks))


def sf2_items(items, presets):
    """items: (name, program, bank, zones), zones lists of (oper, amount)."""
    headers, bags, gens = b"", b"", b""
    nbag = ngen = 0

    def header(name, program, bank):
        h = name.ljust(20, b"\0")
        if presets:
            return h + struct.pack("<HHHIII", program, bank, nbag, 0, 0, 0)
        return h + struct.pack("<H", nbag)
    for name, program, bank, zones in items:
        headers += header(name, program, bank)
        for zone in zones:
            bags += struct.pack("<HH", ngen, 0)
            nbag += 1
            for oper, amount in zone:
                gens += struct.pack("<HH", oper, amount & 0xFFFF)
                ngen += 1
    headers += header(b"EOP" if presets else b"EOI", 0, 0)
    return headers, bags + struct.pack("<HH", ngen, 0), gens + b"\0\0\0\0"


def sf2_bank(sample_frames=120, loop=(20, 100), extra_zones=()):
    pcm = b"".join(struct.pack("<h", (i * 997) % 20000 - 10000) for i in range(sample_frames))
    smpl = pcm + b"\0" * 92 + pcm + b"\0" * 92
    shdr = b""
    for index, pitch in ((0, 60), (1, 72)):
        start = index * (sample_frames + 46)
        shdr += b"s%d".ljust(20, b"\0") % index + struct.pack(
            "<IIIIIBbHH", start, start + sample_frames, start + loop[0], start + loop[1], 22050,
            pitch, -3, 0, 1)
    shdr += b"EOS".ljust(46, b"\0")
    krange = lambda lo, hi: (43, lo | (hi << 8))
    instruments = [
        (b"lead", 0, 0, [[(48, 40), (54, 1), (34, -3000)], [krange(0, 63), (53, 0)],
                         [krange(64, 127), (58, 70), (8, 6000), (9, 100), (53, 1)]] + list(extra_zones)),
        (b"kit", 0, 0, [[(57, 1)], [krange(42, 42), (53, 0)], [krange(46, 46), (54, 3), (53, 1)]]),
    ]
    presets = [
        (b"piano", 0, 0, [[(52, 5)], [(51, 1), (41, 0)], [krange(100, 127), (48, 20), (41, 0)]]),
        (b"drums", 0, 128, [[(41, 1)]]),
    ]
    phdr, pbag, pgen = sf2_items(presets, True)
    inst, ibag, igen = sf2_items(instruments, False)
    mods = b"\0" * 10
    info = sf2_list(b"INFO", [sf2_chunk(b"ifil", b"\2\0\1\0"), sf2_chunk(b"INAM", b"seed\0")])
    sdta = sf2_list(b"sdta", [sf2_chunk(b"smpl", smpl)])
    pdta = sf2_list(b"pdta", [sf2_chunk(b"phdr", phdr), sf2_chunk(b"pbag", pbag), sf2_chunk(b"pmod", mods),
                              sf2_chunk(b"pgen", pgen), sf2_chunk(b"inst", inst), sf2_chunk(b"ibag", ibag),
                              sf2_chunk(b"imod", mods), sf2_chunk(b"igen", igen), sf2_chunk(b"shdr", shdr)])
    body = b"sfbk" + info + sdta + pdta
    return b"RIFF" + struct.pack("<I", len(body)) + body


def sf2_seeds():
    return {
        "bank": sf2_bank(),
        "bad-loop": sf2_bank(loop=(100, 400)),
        "offsets": sf2_bank(extra_zones=[[(0, 30), (1, -200), (2, 5), (3, 900), (4, 1), (53, 0)]]),
        "envelopes": sf2_bank(extra_zones=[[(33, 1000), (35, -1200), (37, 1440), (39, 100), (26, 500),
                                            (7, 1200), (11, -2400), (5, 50), (13, 100), (53, 1)]]),
    }


COMMAND_LINE_SEEDS = {
    "keywords": b"/MIN /PLAY /AUTO ALLCLOSE",
    "file": b"  /min   C:\\Music\\song.mp3 /X",
    "force": b"/Xtra allclosed /PLAYING song.mp3",
    "quoted": b'/MIN "Z:\\My Music\\first song.mp3" /PLAY',
    "run": b"Z:\\My Music\\caf\xc3\xa9  song.mp3 /AUTO",
}


FLAC_SEEDS = [
    # name, rate, channels, bits, samples, encoder options
    ("mono16-l5", 8000, 1, 16, 1200, ["-5", "-b", "256"]),
    ("mono16-l0-noseek", 8000, 1, 16, 1200, ["-0", "-b", "192", "--no-seektable"]),
    ("stereo16-l8", 11025, 2, 16, 800, ["-8", "-b", "200", "--lax"]),
    ("stereo8-l3", 22050, 2, 8, 1500, ["-3", "-b", "300", "--lax"]),
    ("stereo24-l5", 96000, 2, 24, 500, ["-5", "-b", "128", "--lax"]),
    ("stereo32-l5", 44100, 2, 32, 300, ["-5", "-b", "100", "--lax"]),
    ("6ch16-l4", 48000, 6, 16, 200, ["-4", "-b", "64", "--lax", "--channel-map=none"]),
]


def flac_seeds():
    seeds = {}
    with tempfile.TemporaryDirectory() as tmp:
        wav, out = os.path.join(tmp, "in.wav"), os.path.join(tmp, "out.flac")
        for name, rate, channels, bits, samples, options in FLAC_SEEDS:
            try:
                subprocess.run(["sox", "-D", "-r", str(rate), "-c", str(channels), "-n", "-b", str(bits), wav,
                                "synth", f"{samples}s", "sine", "300", "pinknoise", "vol", "0.5"],
                               check=True, stderr=subprocess.DEVNULL)
                subprocess.run(["flac", "-s", "-f", "--no-padding"] + options + [wav, "-o", out],
                               check=True, stderr=subprocess.DEVNULL)
            except (OSError, subprocess.CalledProcessError):
                continue
            with open(out, "rb") as f:
                seeds["flac-" + name] = f.read()
    return seeds


def vorbis_seeds(fuzz_dir):
    """The smaller Ogg Vorbis test files whole, the others' first 16 kB
    (headers and the first pages of audio), behind the harness's options
    byte (CRCs as they are, and made right)."""
    seeds = {}
    for path in sorted(glob.glob(os.path.join(fuzz_dir, "vorbis-corpus", "*.ogg"))):
        with open(path, "rb") as f:
            head = f.read(16383)
        for options in (0, 1):
            seeds[f"seed-{options}-{os.path.basename(path)}"] = bytes([options]) + head
    return seeds


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
    write(os.path.join(corpus, "flac_fuzz"), flac_seeds())
    write(os.path.join(corpus, "wav_fuzz"), wav_seeds())
    write(os.path.join(corpus, "m3u_fuzz"), M3U_SEEDS)
    write(os.path.join(corpus, "disc_records_fuzz"), DISC_SEEDS)
    write(os.path.join(corpus, "command_line_fuzz"), COMMAND_LINE_SEEDS)
    write(os.path.join(corpus, "vorbis_fuzz"), vorbis_seeds(fuzz_dir))
    write(os.path.join(corpus, "smf_fuzz"), midi_seeds())
    write(os.path.join(corpus, "sf2_fuzz"), sf2_seeds())


if __name__ == "__main__":
    main()
