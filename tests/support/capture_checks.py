"""What the end-to-end scripts share: checks that print and are counted,
Windows paths for Wine, and the files ALSA's file sink writes."""
import glob
import os
import re

FAILURES = []


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def captured_parts(capture):
    """ALSA's file plugin starts a fresh numbered file whenever the named one
    exists already (every opening of the device); in order of their numbers
    they hold all that played."""
    def order(name):
        m = re.search(r"\.(\d+)$", name[len(capture):])
        return -1 if name == capture else int(m.group(1)) if m else 1 << 30
    parts = []
    for part in sorted(glob.glob(capture + "*"), key=order):
        with open(part, "rb") as f:
            parts.append(f.read())
    return parts


def first_difference(a, b):
    """The first byte at which `a` and `b` differ, or the shorter length."""
    n, at, step = min(len(a), len(b)), 0, 1 << 16
    while step:
        while at + step <= n and a[at:at + step] == b[at:at + step]:
            at += step
        step >>= 4
    return at


def without_fill(heard, want, frame, rate):
    """`heard` with one run of digital silence of up to 100 ms taken out
    where `want` goes on without it, said when there was one. Wine's sound
    driver writes whole periods of silence into ALSA's buffer when its own
    thread that moves a program's buffers along has fallen behind (a busy
    machine; the file sink takes samples about four times faster than real
    time). Such a fill lies between two samples of the file, is a whole
    number of frames, and leaves nothing out and nothing repeated."""
    at = first_difference(heard, want)
    if at >= min(len(heard), len(want)):
        return heard
    window = heard[at:at + rate * frame // 10]
    zeros = len(window) - len(window.lstrip(b"\0"))
    probe = want[at:at + 256]
    for size in range(frame, zeros + 1, frame):
        rest = heard[at + size:]
        if rest.startswith(probe) and rest.startswith(want[at:]):
            print(f"  note: Wine's driver wrote {size // frame} frames of silence at byte {at}")
            return heard[:at] + rest
    return heard


# Wine's own log lines ("0124:fixme:...", "wine: Read access denied for
# device ...") can bury what a driver printed.
WINE_NOISE = re.compile(r"^(\s*[0-9a-f]{4}:(fixme|err|warn|trace):|wine: |.*FS volume label and serial)")


def driver_output(proc, limit=2500):
    """What a driver process printed, without Wine's own log lines: every
    GoogleTest failure with its message first, then the end of the rest."""
    lines = [line for line in (proc.stdout + proc.stderr).splitlines() if not WINE_NOISE.match(line)]
    failures, inside = [], False
    for line in lines:
        if line.startswith("[  FAILED"):
            failures.append(line)
            inside = False
            continue
        if line.endswith(": Failure"):
            inside = True
        elif inside and (not line.strip() or line.startswith("[")):
            inside = False
        if inside:
            failures.append(line)
    text = "\n".join(lines).strip()[-limit:]
    return ("\n".join(failures[:40]) + "\n...\n" if failures else "") + text


def finish():
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0
