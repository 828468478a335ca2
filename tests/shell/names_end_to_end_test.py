#!/usr/bin/env python3
"""Cantorix.exe opens files with blanks, accents, Cyrillic, Japanese and an
emoji in their names: by a first start, by second starts handing them to the
running instance (one path longer than an atom holds), from a UTF-8 list and
from a legacy cp1252 list. The driver (NamesDriver.cpp) gives the fixtures
those names and checks each title; here every file must be heard whole, in
order, in ALSA's file sink (wave output, dsound disabled)."""
import argparse
import os
import shutil
import subprocess
import sys

sys.dont_write_bytecode = True  # the helpers stay as they are in the tree
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "waveplayer"))
import end_to_end_test as e2e  # noqa: E402  (capture helpers)


def without_silence(pcm):
    frames = (pcm[i:i + 4] for i in range(0, len(pcm) - len(pcm) % 4, 4))
    return b"".join(f for f in frames if f != b"\0\0\0\0")


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    tones = {"a.wav": 330, "b.wav": 440, "c.wav": 550, "d.wav": 660, "e.wav": 770}
    pcm = {}
    for name, hz in tones.items():
        path = os.path.join(args.work, name)
        e2e.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "1.6", "sine", str(hz),
                 "vol", "0.4"])
        pcm[name] = e2e.wav_pcm(path)

    capture = os.path.join(args.work, "played.raw")
    env = dict(os.environ)
    env["WINEDLLOVERRIDES"] = "dsound="
    env["CX_NAMES_DIR"] = e2e.windows_path(args.work)
    proc = subprocess.run([args.wine_run, "--play", capture, args.driver, "--gtest_brief=1"],
                          capture_output=True, text=True, timeout=250, env=env)
    e2e.check(proc.returncode == 0, f"the driver saw every name open, play and show its title "
                                    f"({e2e.driver_output(proc, 1500)})")
    heard = [line.split()[1] for line in proc.stdout.splitlines() if line.startswith("heard ")]
    e2e.check(heard == ["a.wav", "b.wav", "c.wav", "d.wav", "a.wav", "e.wav"], f"the order the driver reports: {heard}")
    # Wine's wave output fills an underrun on a busy machine with silence,
    # and plays silence while a file's device closes: digital silence is no
    # part of the comparison (the tones hold no silent frame after their first).
    parts = [without_silence(part) for part in e2e.captured_parts(capture)]
    expected = [without_silence(pcm[name]) for name in heard]
    e2e.check(parts == expected,
              f"each file was heard whole, once per device opening, in order (sounding bytes "
              f"{[len(x) for x in parts]}, files {[len(x) for x in expected]})")
    if e2e.FAILURES:
        print(f"{len(e2e.FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
