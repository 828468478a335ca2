"""A capture input that never repeats (little-endian 32-bit counter) and
the checks of a recording made from it: its WAV header, and how its data
splits into unbroken slices of the pattern."""
import struct


def pattern(nbytes):
    words = (nbytes + 3) // 4
    return struct.pack(f"<{words}I", *range(words))[:nbytes]


def locate(pat, data, at):
    """The pattern offset whose bytes data[at:] begins with, or None."""
    for align in range(4):
        if at + align + 4 > len(data):
            break
        (word,) = struct.unpack_from("<I", data, at + align)
        start = word * 4 - align
        k = min(8, len(data) - at)
        if 0 <= start and pat[start:start + k] == data[at:at + k]:
            return start
    return None


def slices(pat, data):
    """(pattern offset, length) of each unbroken stretch of data, in order;
    None when some part of the data is no slice of the pattern."""
    out, at = [], 0
    while at < len(data):
        start = locate(pat, data, at)
        if start is None:
            return None
        n = 0
        # Compare in large blocks, then narrow down to the first difference.
        step = 65536
        while at + n < len(data):
            m = min(step, len(data) - at - n)
            if data[at + n:at + n + m] == pat[start + n:start + n + m]:
                n += m
            elif m > 1:
                step = max(1, m // 2)
            else:
                break
        if n == 0:
            return None
        out.append((start, n))
        at += n
    return out


def parse_recording(raw):
    """Checks the 46-byte header the recorders write; returns
    (problems, format tuple (rate, channels, bits, block align), data)."""
    problems = []
    if len(raw) < 46 or raw[0:4] != b"RIFF" or raw[8:16] != b"WAVEfmt " or raw[38:42] != b"data":
        return ["not a recorder's WAV header"], None, b""
    riff, fmt_size = struct.unpack_from("<II", raw, 4)[0], struct.unpack_from("<I", raw, 16)[0]
    tag, channels, rate, avg, align, bits, extra = struct.unpack_from("<HHIIHHH", raw, 20)
    (data_size,) = struct.unpack_from("<I", raw, 42)
    if riff != len(raw) - 8:
        problems.append(f"offset 4 holds {riff}, file length - 8 is {len(raw) - 8}")
    if data_size != len(raw) - 46:
        problems.append(f"offset 42 holds {data_size}, data bytes are {len(raw) - 46}")
    if fmt_size != 18 or tag != 1 or extra != 0 or align != channels * bits // 8 or avg != align * rate:
        problems.append(f"format chunk {fmt_size} {tag} {channels} {rate} {avg} {align} {bits} {extra}")
    return problems, (rate, channels, bits, align), raw[46:]
