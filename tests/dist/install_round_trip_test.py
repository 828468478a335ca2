#!/usr/bin/env python3
"""The installer's round trip under Wine, in a fresh prefix of its own: a
silent install creates the settings key (keeping an auto-play value the
user already had), the files, the shortcuts and the file types (keeping a
default another program holds); the installed Cantorix.exe plays a WAV file
into ALSA's file sink and a second start hands over; opening an MP3 file
through its file type (ShellExecute "open") starts Cantorix, which plays
it; a silent uninstall removes what was installed, file types included,
and leaves the user's list file, CXDB.INI and the other program's default.
The prefix is removed afterwards, whatever happened.
"""
import argparse
import os
import shutil
import subprocess
import sys
import wave

FAILURES = []
SETTINGS = r"HKLM\Software\Vex\Vex Cantorix Wavesmith"
UNINSTALL = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Cantorix"
CLASSES = r"HKLM\Software\Classes"
APPLICATION = CLASSES + r"\Applications\Cantorix.exe"
# The kinds Cantorix plays, as the guide lists them, with the ProgID each
# extension is expected under.
FILE_TYPES = {".wav": "Cantorix.Wave", ".mp1": "Cantorix.Mpeg", ".mp2": "Cantorix.Mpeg",
              ".mp3": "Cantorix.Mpeg", ".mpa": "Cantorix.Mpeg", ".mid": "Cantorix.Midi",
              ".rmi": "Cantorix.Midi", ".m3u": "Cantorix.List", ".m3u8": "Cantorix.List",
              ".flac": "Cantorix.Flac", ".ogg": "Cantorix.Ogg", ".oga": "Cantorix.Ogg"}
# Another program's default for WAV files, set before installing.
OTHER_PROGID = "OtherPlayer.Sound"


def check(cond, what):
    print(f"  [{'ok' if cond else 'FAILED'}] {what}")
    if not cond:
        FAILURES.append(what)
    return cond


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Prefix:
    def __init__(self, args):
        self.args = args
        self.path = os.path.join(args.work, "prefix")
        self.env = dict(os.environ)
        self.env["CX_WINEPREFIX"] = self.path
        self.env["WINEPREFIX"] = self.path
        # Shortcuts stay inside the prefix, not in this machine's menus.
        self.env["WINEDLLOVERRIDES"] = "winemenubuilder.exe=d;dsound="

    def run(self, *cmd, play=None, extra=None, timeout=240):
        env = dict(self.env, **(extra or {}))
        pre = ["--play", play] if play else ["--no-audio"]
        return subprocess.run([self.args.wine_run, *pre, *cmd], capture_output=True, text=True,
                              timeout=timeout, env=env)

    def settle(self):
        self.run("wineserver", "-w")

    def reg_value(self, key, name=None):
        """The value's text as reg query prints it, or None when missing;
        without a name the key's default value."""
        out = self.run("reg", "query", key, *(["/v", name] if name else ["/ve"])).stdout
        name = name or "(Default)"
        for line in out.splitlines():
            line = line.strip()
            if line.startswith(name + " "):
                kind_and_value = line[len(name):].split(None, 1)
                return kind_and_value[1].strip() if len(kind_and_value) == 2 else ""
        return None

    def drive_c(self, windows):
        """The Linux path of a C: path inside the prefix."""
        return os.path.join(self.path, "drive_c", *windows[3:].split("\\"))

    def remove(self):
        if os.path.isdir(self.path):
            self.run("wineserver", "-k")
            shutil.rmtree(self.path, ignore_errors=True)


def make_wav(path):
    subprocess.run(["sox", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth", "2.5", "sine", "440",
                    "sine", "660", "vol", "0.4"], check=True)
    with wave.open(path, "rb") as w:
        return w.readframes(w.getnframes())


def captured_parts(capture):
    """What each opening of the device played: ALSA's file sink writes
    played.raw, then played.raw.0001, ..."""
    folder, name = os.path.split(capture)
    parts = []
    for part in sorted(p for p in os.listdir(folder) if p.startswith(name)):
        with open(os.path.join(folder, part), "rb") as f:
            parts.append(f.read())
    return parts


def check_file_types(prefix, program):
    command = f'"{program}" "%1"'
    for progid in sorted(set(FILE_TYPES.values())):
        key = CLASSES + "\\" + progid
        check(prefix.reg_value(key + r"\shell\open\command") == command and
              prefix.reg_value(key + r"\DefaultIcon") == program + ",0" and bool(prefix.reg_value(key)),
              f"{progid} opens with {command}, has the program's icon and a name")
    check(prefix.reg_value(APPLICATION + r"\shell\open\command") == command,
          "Applications\\Cantorix.exe opens with the quoted path")
    supported = [ext for ext in FILE_TYPES if prefix.reg_value(APPLICATION + r"\SupportedTypes", ext) is not None]
    check(supported == list(FILE_TYPES), f"it names every type as supported ({supported})")
    listed = [ext for ext, progid in FILE_TYPES.items()
              if prefix.reg_value(CLASSES + "\\" + ext + r"\OpenWithProgids", progid) is not None]
    check(listed == list(FILE_TYPES), f"every extension lists its ProgID under OpenWithProgids ({listed})")
    defaults = {ext: prefix.reg_value(CLASSES + "\\" + ext) for ext in FILE_TYPES}
    expected = dict(FILE_TYPES, **{".wav": OTHER_PROGID})
    check(defaults == expected, f"the defaults are Cantorix's except the one another program held ({defaults})")


def check_file_types_gone(prefix):
    left = [k for k in sorted(set(FILE_TYPES.values())) + ["Applications\\Cantorix.exe"]
            if prefix.reg_value(CLASSES + "\\" + k) is not None or
            prefix.reg_value(CLASSES + "\\" + k + r"\shell\open\command") is not None]
    check(not left, f"the ProgIDs and the application key are gone ({left})")
    listed = [ext for ext, progid in FILE_TYPES.items()
              if prefix.reg_value(CLASSES + "\\" + ext + r"\OpenWithProgids", progid) is not None]
    check(not listed, f"no extension lists Cantorix any more ({listed})")
    defaults = {ext: prefix.reg_value(CLASSES + "\\" + ext) for ext in FILE_TYPES}
    kept = {ext: v for ext, v in defaults.items() if v is not None}
    check(kept == {".wav": OTHER_PROGID}, f"only the other program's default is left, untouched ({kept})")


def make_mp3(wav, mp3, reference):
    """An MP3 file of the tone and what the reference decoder makes of it."""
    subprocess.run(["lame", "--quiet", "-b", "128", wav, mp3], check=True)
    with open(reference, "wb") as out:
        subprocess.run(["mpg123", "-q", "--no-gapless", "-s", mp3], stdout=out, check=True)
    with open(reference, "rb") as f:
        return f.read()


def rms(pcm):
    samples = memoryview(pcm[: len(pcm) // 2 * 2]).cast("h")
    return (sum(x * x for x in samples) / max(1, len(samples))) ** 0.5


def opens_through_file_type(args, prefix, wav):
    print("opening an MP3 file through its file type starts Cantorix, which plays it")
    mp3 = os.path.join(args.work, "open me.mp3")  # a blank: the path must come through "%1" whole
    ref = make_mp3(wav, mp3, os.path.join(args.work, "reference.raw"))
    capture = os.path.join(args.work, "opened.raw")
    r = prefix.run(args.driver, "--gtest_brief=1", "--gtest_filter=*OpensAFileThroughItsType*", play=capture,
                   timeout=200, extra={"CX_PLAY": windows_path(mp3), "CX_CAPTURE": windows_path(capture),
                                       "CX_PCM_BYTES": str(len(ref) * 9 // 10), "CX_INSTALLED": "-"})
    prefix.settle()
    check(r.returncode == 0, f"ShellExecute opened it in Cantorix, which played it ({(r.stdout + r.stderr)[-600:]})")
    sounding = b"".join(part.rstrip(b"\0") for part in captured_parts(capture))
    frame = 1152 * 4
    check(abs(len(sounding) - len(ref.rstrip(b"\0"))) <= 3 * frame,
          f"the whole file was heard ({len(sounding)} bytes sounding, {len(ref.rstrip(bytes(1)))} from mpg123)")
    heard, expected = rms(sounding), rms(ref)
    check(expected > 0 and abs(heard - expected) <= 0.1 * expected,
          f"at the file's level (RMS {heard:.0f}, mpg123 {expected:.0f})")


def round_trip(args, prefix):
    print(f"installer {args.installer}: {os.path.getsize(args.installer)} bytes")
    subprocess.run([args.wine_prefix, "--bare", prefix.path], check=True, env=prefix.env, timeout=300)
    # A choice the user made before installing, which the installer must keep.
    prefix.run("reg", "add", SETTINGS, "/v", "CanAutoPlayCD", "/t", "REG_DWORD", "/d", "1", "/f")
    # And another program that plays WAV files by default.
    prefix.run("reg", "add", CLASSES + r"\.wav", "/ve", "/d", OTHER_PROGID, "/f")

    print("silent install")
    r = prefix.run(args.installer, "/S")
    prefix.settle()
    check(r.returncode == 0, f"the installer ends with 0 ({r.returncode})")
    app = prefix.reg_value(SETTINGS, "Application Path")
    check(app == r"C:\Program Files\Vex\Cantorix", f"Application Path is the installation folder ({app})")
    check(prefix.reg_value(SETTINGS, "CanAutoPlayCD") == "0x1", "the user's CanAutoPlayCD is kept")
    check(prefix.reg_value(SETTINGS, "CanAutoPlayMp3List") == "0x0", "CanAutoPlayMp3List is created as 0")
    check(prefix.reg_value(UNINSTALL, "DisplayVersion") == args.version,
          f"Add/Remove Programs lists version {args.version}")
    size = prefix.reg_value(UNINSTALL, "EstimatedSize")
    check(size is not None and int(size, 16) > 100, f"and the installed size ({size} KB)")
    if not app:
        return
    folder = prefix.drive_c(app)
    menu = prefix.drive_c(r"C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Cantorix")
    handset = os.path.exists(os.path.join(args.bin, "Handset.exe"))
    soundfont = os.path.exists(os.path.join(args.bin, "TimGM6mb.sf2"))
    installed = ["Cantorix.exe", "Cantorix.chm", "CantorixGuide.html", "Uninstall.exe"] + (["Handset.exe"] if handset else []) + \
        (["TimGM6mb.sf2", "TimGM6mb-licence.txt"] if soundfont else [])
    check(sorted(os.listdir(folder)) == sorted(installed), f"the folder holds {installed}")
    if soundfont:
        with open(os.path.join(folder, "TimGM6mb.sf2"), "rb") as a, open(os.path.join(args.bin, "TimGM6mb.sf2"), "rb") as b:
            check(a.read() == b.read(), "the SoundFont MIDI files play with is installed whole, with its licence")
    shortcuts = ["Cantorix.lnk", "Cantorix Guide.lnk", "Uninstall Cantorix.lnk"] + \
        (["Handset.lnk"] if handset else [])
    check(os.path.isdir(menu) and sorted(os.listdir(menu)) == sorted(shortcuts),
          f"the Start menu holds {shortcuts}")

    check_file_types(prefix, app + r"\Cantorix.exe")

    print("the installed Cantorix.exe plays, and a second start hands over")
    wav = os.path.join(args.work, "tone.wav")
    pcm = make_wav(wav)
    capture = os.path.join(args.work, "played.raw")
    r = prefix.run(args.driver, "--gtest_brief=1", "--gtest_filter=*HandsOver*", play=capture, timeout=200,
                   extra={"CX_INSTALLED": app, "CX_PLAY": windows_path(wav), "CX_CAPTURE": windows_path(capture),
                          "CX_PCM_BYTES": str(len(pcm))})
    prefix.settle()
    check(r.returncode == 0, f"the driver saw it play, hand over and close ({(r.stdout + r.stderr)[-600:]})")
    # Wine may close a stream with a little silence; what sounded must be
    # the file, whole, once for each start.
    parts = captured_parts(capture)
    sounding = b"".join(part.rstrip(b"\0") for part in parts)
    check(sounding == 2 * pcm.rstrip(b"\0"),
          f"the file played whole twice ({len(parts)} openings, {len(sounding)} bytes sounding, "
          f"{2 * len(pcm.rstrip(bytes(1)))} expected)")

    opens_through_file_type(args, prefix, wav)

    print("silent uninstall")
    with open(os.path.join(folder, "favourites.m3u"), "w", newline="\r\n") as f:
        f.write(windows_path(wav) + "\n")
    with open(os.path.join(folder, "CXDB.INI"), "w", newline="\r\n") as f:
        f.write("[Lists]\n12345678=C:\\favourites.m3u\n")
    r = prefix.run(os.path.join(folder, "Uninstall.exe"), "/S")
    prefix.settle()  # the uninstaller runs from a copy of itself and returns at once
    check(r.returncode == 0, f"the uninstaller ends with 0 ({r.returncode})")
    left = sorted(os.listdir(folder)) if os.path.isdir(folder) else []
    check(left == ["CXDB.INI", "favourites.m3u"], f"only the user's files stay ({left})")
    check(not os.path.exists(menu), "the shortcuts and their folder are gone")
    check(prefix.reg_value(UNINSTALL, "DisplayName") is None, "the Add/Remove Programs entry is gone")
    check(prefix.reg_value(SETTINGS, "Application Path") is None, "Application Path is gone")
    check(prefix.reg_value(SETTINGS, "CanAutoPlayCD") == "0x1", "the user's auto-play choice stays")
    check_file_types_gone(prefix)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--wine-run", required=True)
    p.add_argument("--wine-prefix", required=True)
    p.add_argument("--installer", required=True)
    p.add_argument("--version", required=True)
    p.add_argument("--bin", required=True)
    p.add_argument("--driver", required=True)
    p.add_argument("--work", required=True)
    args = p.parse_args()
    prefix = Prefix(args)
    prefix.remove()  # what a run stopped by its time-out left
    shutil.rmtree(args.work, ignore_errors=True)
    os.makedirs(args.work)
    try:
        round_trip(args, prefix)
    except (subprocess.SubprocessError, OSError) as e:
        check(False, f"the round trip ran to its end ({e})")
    finally:
        prefix.remove()
        shutil.rmtree(args.work, ignore_errors=True)
    if FAILURES:
        print(f"{len(FAILURES)} check(s) failed")
        return 1
    print("all checks passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
