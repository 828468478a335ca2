#!/usr/bin/env python3
"""Turns the user guide (Markdown) into the HTML page installed beside the
programs: python3-markdown does the conversion, this only wraps the page.

    guide_html.py GUIDE.md OUT.html VERSION
"""
import sys

import markdown

PAGE = """<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<title>Cantorix {version} User Guide</title>
<style>
body {{ font-family: Tahoma, Verdana, sans-serif; max-width: 46em; margin: 1em auto; padding: 0 1em;
        line-height: 1.4; color: #202020; }}
h1, h2, h3 {{ color: #203060; }}
table {{ border-collapse: collapse; margin: 0.5em 0; }}
th, td {{ border: 1px solid #b0b0b0; padding: 0.2em 0.6em; text-align: left; vertical-align: top; }}
code, pre {{ background: #f0f0f0; }}
</style>
</head>
<body>
{body}
<hr>
<p>Cantorix {version}</p>
</body>
</html>
"""


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: guide_html.py GUIDE.md OUT.html VERSION")
    source, target, version = sys.argv[1:]
    with open(source, encoding="utf-8") as f:
        body = markdown.markdown(f.read(), extensions=["tables", "toc", "sane_lists"])
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(PAGE.format(version=version, body=body))


if __name__ == "__main__":
    main()
