#!/usr/bin/env python3
"""Compiles the user guide into the help file Cantorix.chm that HELP opens
in the system's help viewer: the same page as CantorixGuide.html, a
contents tree made from its section headings, and a project file for
chmcmd (Debian's fp-utils), all written to a scratch folder first.

    guide_chm.py GUIDE.md OUT.chm VERSION SCRATCH_FOLDER CHMCMD
"""
import html
import os
import shutil
import subprocess
import sys

import markdown

import guide_html

PROJECT = """[OPTIONS]
Compatibility=1.1 or later
Compiled file={chm}
Contents file=Cantorix.hhc
Default topic=guide.html
Display compile progress=No
Language=0x409 English (United States)
Title=Cantorix {version} User Guide

[FILES]
guide.html
"""

ENTRY = """{indent}<LI><OBJECT type="text/sitemap">
{indent}  <param name="Name" value="{name}">
{indent}  <param name="Local" value="guide.html{anchor}">
{indent}</OBJECT>
"""


def contents(toc_tokens, depth=1):
    """The .hhc list for the headings python-markdown's toc extension found."""
    indent = "  " * depth
    out = [indent[2:] + "<UL>\n"]
    for token in toc_tokens:
        out.append(ENTRY.format(indent=indent, name=html.escape(token["name"], quote=True),
                                anchor="#" + token["id"] if depth > 1 else ""))
        if token["children"]:
            out.append(contents(token["children"], depth + 1))
    out.append(indent[2:] + "</UL>\n")
    return "".join(out)


def main():
    if len(sys.argv) != 6:
        sys.exit("usage: guide_chm.py GUIDE.md OUT.chm VERSION SCRATCH_FOLDER CHMCMD")
    source, target, version, scratch, chmcmd = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        md = markdown.Markdown(extensions=["tables", "toc", "sane_lists"])
        body = md.convert(f.read())
    shutil.rmtree(scratch, ignore_errors=True)
    os.makedirs(scratch)
    with open(os.path.join(scratch, "guide.html"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(guide_html.PAGE.format(version=version, body=body))
    with open(os.path.join(scratch, "Cantorix.hhc"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write("<HTML><HEAD></HEAD><BODY>\n" + contents(md.toc_tokens) + "</BODY></HTML>\n")
    chm = os.path.basename(target)
    with open(os.path.join(scratch, "Cantorix.hhp"), "w", encoding="utf-8", newline="\r\n") as f:
        f.write(PROJECT.format(chm=chm, version=version))
    run = subprocess.run([chmcmd, "--no-html-scan", "Cantorix.hhp"], cwd=scratch, capture_output=True, text=True)
    built = os.path.join(scratch, chm)
    if run.returncode != 0 or not os.path.exists(built):
        sys.exit(f"guide_chm.py: chmcmd failed:\n{run.stdout}{run.stderr}")
    shutil.move(built, target)


if __name__ == "__main__":
    main()
