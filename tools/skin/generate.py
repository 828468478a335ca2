#!/usr/bin/env python3
"""Generates the skin images of both programs, their resource scripts and
the inventory into resources/.

    generate.py OUTDIR     write everything into OUTDIR (normally resources/)
    generate.py --check    regenerate into a temporary folder and compare
                           with resources/; exit 1 on any difference

Every image is drawn from the style (style.py), the faces (faces.py) and a
layout per window (layouts.py, panels.py); inventory.py lists them all.
"""
import filecmp
import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)

import faces  # noqa: E402
import inventory  # noqa: E402
import style as s  # noqa: E402
from bmp import bmp_bytes, ico_bytes  # noqa: E402
from canvas import Canvas  # noqa: E402

TOP = os.path.dirname(os.path.dirname(HERE))
PROGRAMS = {
    # program: (resource script, palette bitmap, icon id, cursor id)
    "cantorix": ("cantorix.rc", 149, 128, 164),
    "handset": ("handset.rc", 102, 101, 103),
}


def program_icon():
    c = Canvas(32, 32, fill=0)
    c.fill(2, 6, 28, 20, s.grey(16))
    c.bevel(2, 6, 28, 20)
    c.fill(6, 10, 20, 8, s.BODY_DARK)
    for i, h in enumerate([3, 6, 4, 7, 5, 2, 6, 4, 5]):
        c.fill(7 + 2 * i, 17 - h, 1, h, s.green(24))
    c.fill(6, 20, 6, 3, s.red(20))
    c.fill(20, 20, 6, 3, s.amber(24))
    return c


def file_name(name):
    text = str(name).replace("-", "MINUS").replace("+", "PLUS")
    return text + ".bmp"


def resource_line(name, rel):
    """Names are quoted (some, like CHECKED, are keywords of the script).
    windres joins a quoted name to the string that ends the line before it,
    so each one follows a statement that ends in a number."""
    if isinstance(name, int):
        return '%s BITMAP "%s"' % (name, rel)
    return 'LANGUAGE 0, 0\n"%s" BITMAP "%s"' % (name, rel)


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def write_all(outdir):
    problems = inventory.check_layouts()
    if problems:
        sys.exit("layout and inventory disagree:\n  " + "\n  ".join(problems))
    entries = inventory.entries()
    seen = set()
    scripts = {p: [] for p in PROGRAMS}
    listing = ["# program\tresource\twidth\theight\tfile\tused for"]
    for program, name, size, use, build in entries:
        key = (program, str(name).upper())
        if key in seen:
            sys.exit("%s %s is listed twice" % key)
        seen.add(key)
        canvas = build()
        if (canvas.width, canvas.height) != size:
            sys.exit("%s %s: drawn %dx%d, listed %dx%d" % (program, name, canvas.width,
                                                         canvas.height, size[0], size[1]))
        rel = "%s/%s" % (program, file_name(name))
        write(os.path.join(outdir, rel), bmp_bytes(canvas.width, canvas.height, canvas.rows, s.PALETTE))
        scripts[program].append(resource_line(name, rel))
        listing.append("%s\t%s\t%d\t%d\t%s\t%s" % (program, name, size[0], size[1], rel, use))
    for program, (script, palette, icon, cursor) in PROGRAMS.items():
        if (program, str(palette)) not in seen:
            sys.exit("%s has no palette bitmap %d" % (program, palette))
        write(os.path.join(outdir, program, "icon.ico"),
              ico_bytes(32, program_icon().rows, s.PALETTE, transparent=0))
        write(os.path.join(outdir, program, "cursor.cur"),
              ico_bytes(32, faces.cursor_arrow().rows, s.PALETTE, transparent=0, hotspot=(0, 0)))
        lines = ["// %s's resources, written by tools/skin/generate.py; do not edit." % program.capitalize(),
                 "// Every bitmap is 8 bits per pixel with the palette of bitmap %d." % palette,
                 "LANGUAGE 0, 0",
                 '%d ICON "%s/icon.ico"' % (icon, program),
                 '%d CURSOR "%s/cursor.cur"' % (cursor, program)]
        lines += scripts[program]
        write(os.path.join(outdir, script), ("\n".join(lines) + "\n").encode())
    write(os.path.join(outdir, "skin-inventory.tsv"), ("\n".join(listing) + "\n").encode())
    write(os.path.join(outdir, "ResourceIds.h"), id_header(seen).encode())
    return len(entries)


def id_header(seen):
    """The numbered resources by the names the code knows them by."""
    specials = {(p, str(icon)) for p, (_s, _pal, icon, _cur) in PROGRAMS.items()}
    specials |= {(p, str(cur)) for p, (_s, _pal, _icon, cur) in PROGRAMS.items()}
    lines = ["// Numbered resources of both programs, written by tools/skin/generate.py;",
             "// do not edit. Named images are loaded by their names.",
             "#pragma once", ""]
    program = None
    for prog, number, name, note in inventory.CODE_NAMES:
        if (prog, str(number)) not in seen | specials:
            sys.exit("%s has no resource %d for %s" % (prog, number, name))
        if prog != program:
            if program is not None:
                lines.append("")
            lines.append("// %s" % prog.capitalize())
            program = prog
        lines.append("constexpr int %s = %d;%s" % (name, number, "  // " + note if note else ""))
    return "\n".join(lines) + "\n"


def generated_files(root):
    out = set()
    for program, (script, *_rest) in PROGRAMS.items():
        out.add(script)
        folder = os.path.join(root, program)
        if os.path.isdir(folder):
            out.update("%s/%s" % (program, f) for f in os.listdir(folder))
    out.add("skin-inventory.tsv")
    out.add("ResourceIds.h")
    return out


def check():
    committed = os.path.join(TOP, "resources")
    with tempfile.TemporaryDirectory() as tmp:
        write_all(tmp)
        fresh, old = generated_files(tmp), generated_files(committed)
        differ = sorted(fresh ^ old)
        for rel in sorted(fresh & old):
            if not filecmp.cmp(os.path.join(tmp, rel), os.path.join(committed, rel), shallow=False):
                differ.append(rel)
    if differ:
        print("resources/ differs from what tools/skin/generate.py makes (run it again):")
        for rel in differ:
            print("  " + rel)
        return 1
    print("resources/ matches the generator (%d files)" % len(fresh))
    return 0


if __name__ == "__main__":
    if len(sys.argv) == 2 and sys.argv[1] == "--check":
        sys.exit(check())
    if len(sys.argv) != 2:
        sys.exit("usage: generate.py OUTDIR | --check")
    print("%d images" % write_all(sys.argv[1]))
