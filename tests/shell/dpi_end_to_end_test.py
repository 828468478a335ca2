#!/usr/bin/env python3
"""The real Cantorix at 96 and at 192 dpi: a Wine prefix of its own set to
192 dpi (the LogPixels values; the rest of the suite stays at 96) runs the
same driver (DpiDriver.cpp) as the project's prefix. At 192 dpi the main
panel, and the panel with the wave player that its WAVE key (pressed at its
doubled place) opens, must be the 96-dpi pictures blown up twice, nearest
pixel, every pixel equal."""
import argparse
import os
import shutil
import struct
import subprocess
import sys

sys.dont_write_bytecode = True  # the helpers stay as they are in the tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from capture_checks import check, driver_output, finish, windows_path  # noqa: E402

LOG_PIXELS_KEYS = [r"HKCU\Control Panel\Desktop",
                   r"HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts"]


def read_bmp(path):
    """(width, height, rows of (b, g, r) bytes, top row first) of a 24-bit BMP."""
    with open(path, "rb") as f:
        data = f.read()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    if bits != 24:
        raise ValueError(f"{path}: {bits} bits per pixel")
    stride = (width * 3 + 3) & ~3
    rows = [data[offset + y * stride: offset + y * stride + width * 3] for y in range(abs(height))]
    return width, abs(height), rows if height < 0 else rows[::-1]


def blown_up(rows, scale):
    out = []
    for row in rows:
        big = b"".join(row[3 * x:3 * x + 3] * scale for x in range(len(row) // 3))
        out.extend([big] * scale)
    return out


def pixels_off(a, b):
    """How many pixels differ, and the box (left, top, right, bottom) round them."""
    off = [(i // 3, y) for y, (ra, rb) in enumerate(zip(a, b)) for i in range(0, len(ra), 3) if ra[i:i + 3] != rb[i:i + 3]]
    if not off:
        return 0, None
    xs, ys = [x for x, _ in off], [y for _, y in off]
    return len(off), (min(xs), min(ys), max(xs) + 1, max(ys) + 1)


def make_prefix(wine_run, tools, prefix, dpi):
    """A bare prefix at `dpi`, made once (wineboot takes a while; the prefix
    tool brings one made before up to date); the wineserver is ended so the
    next program reads the values."""
    subprocess.run([os.path.join(tools, "wine-prefix"), "--bare", prefix], check=True, timeout=240,
                   capture_output=True)
    stamp = os.path.join(prefix, f".cantorix-dpi-{dpi}")
    if os.path.exists(stamp):
        return
    env = dict(os.environ, CX_WINEPREFIX=prefix)
    for key in LOG_PIXELS_KEYS:
        subprocess.run([wine_run, "--no-audio", "reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD",
                        "/d", str(dpi), "/f"], env=env, check=True, timeout=120, capture_output=True)
    subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix), timeout=60)
    open(stamp, "w").close()


def run_driver(args, out, scale, prefix=None):
    os.makedirs(out, exist_ok=True)
    env = dict(os.environ, CX_DPI_SCALE=str(scale), CX_DPI_OUT=windows_path(out))
    if prefix:
        env["CX_WINEPREFIX"] = prefix
    proc = subprocess.run([args.wine_run, args.driver, "--gtest_brief=1"], capture_output=True, text=True,
                          timeout=200, env=env)
    for line in proc.stdout.splitlines():
        if line.startswith(("panel ", "with the wave player ")):
            print(f"  scale {scale}: {line}")
    check(proc.returncode == 0,
          f"the driver at scale {scale} saw the panel and the wave player ({driver_output(proc, 1200)})")
    if prefix:
        subprocess.run(["wineserver", "-k"], env=dict(os.environ, WINEPREFIX=prefix), timeout=60)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--prefix", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    tools = os.path.dirname(os.path.abspath(args.wine_run))
    make_prefix(args.wine_run, tools, args.prefix, 192)
    plain, double = os.path.join(args.work, "96dpi"), os.path.join(args.work, "192dpi")
    run_driver(args, plain, 1)
    run_driver(args, double, 2, args.prefix)
    for name in ("panel.bmp", "wave.bmp"):
        a, b = os.path.join(plain, name), os.path.join(double, name)
        if not check(os.path.exists(a) and os.path.exists(b), f"{name} saved at both DPIs"):
            continue
        w1, h1, rows1 = read_bmp(a)
        w2, h2, rows2 = read_bmp(b)
        check((w2, h2) == (2 * w1, 2 * h1), f"{name}: {w1}x{h1} at 96 dpi, {w2}x{h2} at 192 dpi")
        if (w2, h2) == (2 * w1, 2 * h1):
            off, box = pixels_off(blown_up(rows1, 2), rows2)
            check(off == 0, f"{name}: every pixel at 192 dpi is the 96-dpi pixel blown up ({off} differ"
                            f"{f', within {box} at 192 dpi' if box else ''})")
    return finish()


if __name__ == "__main__":
    sys.exit(main())
