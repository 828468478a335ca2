#!/usr/bin/env python3
"""Cantorix.exe plays files end to end under Wine, with ALSA's default
device writing everything played into a file, and what was played is
compared with the project's own decoder's output.

Fixtures are made here with sox, lame and twolame. The wave output engine
is forced (dsound disabled), since it hands the samples to the device
unchanged; DirectSound mixes.
"""
import argparse
import array
import glob
import os
import shutil
import struct
import subprocess
import sys
import wave

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from capture_checks import (FAILURES, captured_parts, check, driver_output, finish, first_difference,  # noqa: E402,F401
                            windows_path, without_fill)


def run(cmd, **kw):
    return subprocess.run(cmd, check=True, capture_output=True, **kw)


def make_fixtures(work):
    """A WAV, an MP3 and an MP2 of a few seconds each, 44.1 kHz stereo."""
    paths = {}
    src = os.path.join(work, "tone.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", src, "synth", "2.2", "sine", "330", "sine", "550",
         "vol", "0.5"])
    paths["wav"] = os.path.join(work, "First Song.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", paths["wav"], "synth", "1.7", "sine", "440",
         "sine", "660", "vol", "0.4"])
    paths["mp3"] = os.path.join(work, "second.mp3")
    run(["lame", "--quiet", "-b", "128", src, paths["mp3"]])
    paths["mp2"] = os.path.join(work, "third.mp2")
    run(["twolame", "--quiet", "-b", "192", src, paths["mp2"]])
    return paths


def decode(args, path):
    """The project's decoder's PCM for a compressed file, from the Windows
    build the player is part of: the native build may choose other
    processor kernels, whose results differ in the last bit."""
    out = path + ".raw"
    run([args.wine_run, "--no-audio", args.cxdecode_exe, "--raw", windows_path(path), windows_path(out)])
    with open(out, "rb") as f:
        return f.read()


def wav_pcm(path):
    with wave.open(path, "rb") as w:
        return w.readframes(w.getnframes())


def captured(capture):
    return b"".join(captured_parts(capture))


def files_played(parts, wants):
    """What the first device openings played of files that should give
    these bytes (or only this many, where the content is not known), or
    None when one is short or holds more than digital silence behind its
    file: Wine's driver plays silence while a busy player is slow to close
    the device after a file, and that is no part of it. One fill of Wine's
    (capture_checks.without_fill) is taken out of a file whose bytes are
    known."""
    if len(parts) < len(wants):
        return None
    played = []
    for part, want in zip(parts, wants):
        if isinstance(want, bytes):
            part, want = without_fill(part, want, 4, 44100), len(want)
        if len(part) < want or part[want:].strip(b"\0"):
            return None
        played.append(part[:want])
    return b"".join(played)


def play(args, capture, target, first_title=None):
    for old in glob.glob(capture + "*"):
        os.remove(old)
    env = dict(os.environ)
    env["WINEDLLOVERRIDES"] = "dsound="
    env["CX_E2E_OPEN"] = windows_path(target)
    env.pop("CX_E2E_FIRST_TITLE", None)
    if first_title:
        env["CX_E2E_FIRST_TITLE"] = first_title
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=150, env=env)
    check(proc.returncode == 0, f"the driver saw Cantorix play and stop ({driver_output(proc, 600)})")
    return captured(capture)


def gapless_album(work):
    """One continuous tone cut at two points that are not frame boundaries
    into three WAV files, each encoded by lame on its own; returns the
    tone's PCM and the list file."""
    tone = os.path.join(work, "album-tone.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "3", "sine", "440", "vol", "0.5"])
    listing = os.path.join(work, "album.m3u")
    cuts = [("0", "33333s"), ("33333s", "44444s"), ("77777s", None)]
    with open(listing, "w", newline="\r\n") as f:
        for i, (start, length) in enumerate(cuts):
            part = os.path.join(work, f"album-{i + 1}.wav")
            run(["sox", tone, part, "trim", start] + ([length] if length else []))
            mp3 = part[:-4] + ".mp3"
            run(["lame", "--quiet", "-b", "128", part, mp3])
            f.write(windows_path(mp3) + "\n")
    return wav_pcm(tone), listing


def largest_error(played, original, joins, near):
    """The largest sample difference near the joins and away from them."""
    a = array.array("h", played[:len(original)])
    b = array.array("h", original)
    at_joins = elsewhere = 0
    for i in range(min(len(a), len(b))):
        d = abs(a[i] - b[i])
        if any(abs(i // 2 - j) < near for j in joins):
            at_joins = max(at_joins, d)
        else:
            elsewhere = max(elsewhere, d)
    return at_joins, elsewhere


def mpeg_in_wav(path):
    """The data chunk of a WAV file whose format tag is MPEG Layer III."""
    with open(path, "rb") as f:
        data = f.read()
    at, tag = 12, None
    while at + 8 <= len(data):
        cid, size = data[at:at + 4], struct.unpack("<I", data[at + 4:at + 8])[0]
        if cid == b"fmt ":
            tag = struct.unpack("<H", data[at + 8:at + 10])[0]
        if cid == b"data":
            return data[at + 8:at + 8 + size] if tag == 0x55 else None
        at += 8 + size + (size & 1)
    return None


def flac_reference(source, flac):
    """Encodes `source` with the reference encoder; returns what the
    reference decoder gives back as raw little-endian PCM."""
    run(["flac", "-s", "-f", "-5", source, "-o", flac])
    return run(["flac", "-s", "-d", "-c", "--force-raw-format", "--endian=little", "--sign=signed",
                flac]).stdout


def played_alone(args, path, want):
    """What Cantorix.exe sent to the device for `path`: the first opening
    when it holds the file and only silence behind, else all openings."""
    capture = path + ".played"
    play(args, capture, path)
    parts = captured_parts(capture)
    return files_played(parts, [want]) or b"".join(parts)


def check_heard(data, want, whose, also=True):
    return check(also and data == want, f"captured {len(data)} bytes equal {whose} {len(want)} "
                                        f"(first difference at {first_difference(data, want)})")


def lossless_and_vorbis(args):
    """FLAC (16 and 24 bits), MP3 inside a WAV file and Ogg Vorbis through
    Cantorix.exe: what the device got equals the reference decoder's FLAC
    output and the project's decoder's output for the others."""
    work = args.work
    tone = os.path.join(work, "codec-tone.wav")
    run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", tone, "synth", "1.3", "sine", "300", "sine", "470",
         "vol", "0.5"])
    flac16 = os.path.join(work, "lossless-take.flac")
    ref16 = flac_reference(tone, flac16)
    print("Cantorix.exe lossless-take.flac (16-bit): bit for bit what the reference decoder gives")
    check_heard(played_alone(args, flac16, ref16), ref16, "the reference's", len(ref16) > 44100 * 4)

    deep = os.path.join(work, "deep.wav")
    run(["sox", "-n", "-r", "48000", "-c", "2", "-b", "24", deep, "synth", "1.1", "sine", "350", "sine", "520",
         "vol", "0.5"])
    flac24 = os.path.join(work, "deep.flac")
    ref24 = flac_reference(deep, flac24)
    print("Cantorix.exe deep.flac (24-bit): 24 bits exactly, or 16 bits within one step when the device refuses 24")
    capture = flac24 + ".played"
    play(args, capture, flac24)
    parts = captured_parts(capture)
    frames = len(ref24) // 6
    first = parts[0] if parts else b""
    if len(first) >= len(ref24) and first[:len(ref24)] == ref24:
        check(True, f"played at 24 bits, {frames} frames bit for bit")
    else:
        heard = array.array("h", first[:frames * 4])
        want = [int.from_bytes(ref24[i:i + 3], "little", signed=True) / 256.0 for i in range(0, frames * 6, 3)]
        worst = max((abs(a - b) for a, b in zip(heard, want)), default=1 << 16)
        check(len(heard) == frames * 2 and worst <= 1.5,
              f"played at 16 bits with dither: {len(heard) // 2} of {frames} frames, largest error {worst:.2f} steps")

    inside = os.path.join(work, "mp3-inside.wav")
    run(["ffmpeg", "-v", "quiet", "-y", "-i", tone, "-c:a", "libmp3lame", "-b:a", "128k", "-f", "wav", inside])
    stream = mpeg_in_wav(inside)
    print("Cantorix.exe mp3-inside.wav (MPEG Layer III in a WAV file): the stream it holds, decoded")
    if check(stream is not None, "the encoder wrote a WAV file of format 0x55"):
        bare = os.path.join(work, "mp3-inside.mp3")
        with open(bare, "wb") as f:
            f.write(stream)
        pcm = decode(args, bare)
        check_heard(played_alone(args, inside, pcm), pcm, "the decoder's for the bare stream",
                    len(pcm) > 44100 * 4)

    ogg = os.path.join(work, "ogg-piece.ogg")
    run(["oggenc", "-Q", "-q", "4", tone, "-o", ogg])
    pcm = decode(args, ogg)
    print(f"Cantorix.exe ogg-piece.ogg: what the project's decoder gives, whole (the tone has {len(ref16)} bytes)")
    check_heard(played_alone(args, ogg, pcm), pcm, "the decoder's", len(pcm) == len(ref16))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--cxdecode-exe", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    files = make_fixtures(args.work)
    capture = os.path.join(args.work, "played.raw")

    print("Cantorix.exe second.mp3: plays the whole file")
    mp3 = decode(args, files["mp3"])
    play(args, capture, files["mp3"])
    data = files_played(captured_parts(capture), [mp3]) or captured(capture)
    check(len(mp3) > 44100 * 4, f"the decoder gives {len(mp3)} bytes for the MP3")
    check(data == mp3, f"captured {len(data)} bytes equal the decoder's {len(mp3)} bytes "
                       f"(first difference at {first_difference(data, mp3)})")

    print("a list of a WAV, an MP3 and an MP2: in order, no gaps, no repeats")
    listing = os.path.join(args.work, "three.m3u")
    with open(listing, "w", newline="\r\n") as f:
        for key in ("wav", "mp3", "mp2"):
            f.write(windows_path(files[key]) + "\n")
    wav = wav_pcm(files["wav"])
    mp2 = decode(args, files["mp2"])
    expected = wav + mp3 + mp2
    play(args, capture, listing, first_title="First Song")
    parts = captured_parts(capture)
    head = files_played(parts, [wav, mp3, mp2]) or b""
    # PLAY after the end opens the device once more, for the first file; on
    # a busy machine the stop may come only after it, when the next began.
    tail = parts[3] if len(parts) > 3 else b""
    check(head == expected, f"the three files arrive whole and in order ({len(head)} of {len(expected)} bytes, "
                            f"first difference at {first_difference(head, expected)}; device openings of "
                            f"{[len(p) for p in parts]} bytes)")
    # PLAY after the end started the list again from its first file (the
    # driver saw its title and track number while paused); the stop that
    # followed leaves the silence Wine writes after a reset. How much reached
    # the device before the pause depends on the machine's speed: nothing,
    # or the start of the list, but never anything else.
    sounding = tail.rstrip(b"\0")
    check(expected.startswith(sounding),
          f"after the end, PLAY played the list from the start of the first file ({len(sounding)} bytes, "
          f"then {len(tail) - len(sounding)} bytes of silence)")

    print("a gapless album: three MP3s cut from one tone play as the tone itself")
    tone, album = gapless_album(args.work)
    # A capture file of its own: the previous Cantorix may still be closing
    # its device while this one starts.
    album_capture = os.path.join(args.work, "album.raw")
    play(args, album_capture, album)
    parts = captured_parts(album_capture)
    lengths = [33333 * 4, 44444 * 4, len(tone) - 77777 * 4]
    data = files_played(parts, lengths)
    check(len(parts) == 3 and data is not None,
          f"each file played exactly its part of the tone: {[len(p) // 4 for p in parts]} samples, "
          f"cut at {[n // 4 for n in lengths]}")
    data = data or b"".join(parts)
    # A gap or a click at a join differs by about the tone's amplitude
    # (16384): untrimmed, the joins differ by over 23000. The codec's own
    # error is about 800 along the tone and under 2000 at the cut edges.
    at_joins, elsewhere = largest_error(data, tone, (33333, 77777), 1152)
    check(at_joins < 4000 and elsewhere < 2000,
          f"largest difference from the tone: {at_joins} near the joins, {elsewhere} elsewhere")

    lossless_and_vorbis(args)

    return finish()


if __name__ == "__main__":
    sys.exit(main())
