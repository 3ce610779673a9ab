#!/usr/bin/python3
"""The user guide as one HTML page that reads offline: Markdown made HTML by
Debian's python3-markdown (tables, a table of contents, code blocks), the
style written into the page itself, nothing fetched from anywhere.

Usage: user_guide_html.py GUIDE.md OUT.html VERSION
"""

import html
import sys

import markdown  # Debian's python3-markdown

STYLE = """
body { font-family: Segoe UI, Tahoma, Arial, sans-serif; max-width: 60em; margin: 2em auto; padding: 0 1em;
       line-height: 1.45; color: #222; }
h1, h2, h3 { line-height: 1.2; }
h2 { border-bottom: 1px solid #ccc; padding-bottom: .2em; margin-top: 2em; }
table { border-collapse: collapse; margin: 1em 0; }
th, td { border: 1px solid #bbb; padding: .3em .6em; vertical-align: top; text-align: left; }
th { background: #eee; }
code, pre { font-family: Consolas, Courier New, monospace; }
pre { background: #f5f5f5; border: 1px solid #ddd; padding: .6em; overflow-x: auto; }
.toc { background: #fafafa; border: 1px solid #ddd; padding: .4em 1.2em; }
"""


def main(argv):
    if len(argv) != 4:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    source, target, version = argv[1:]
    with open(source, encoding="utf-8") as f:
        body = markdown.markdown(f.read(), extensions=["tables", "toc", "fenced_code"],
                                 output_format="html")
    title = "Vorelle %s: user guide" % version
    page = ("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
            "<title>%s</title>\n<style>%s</style>\n</head>\n<body>\n%s\n</body>\n</html>\n"
            % (html.escape(title), STYLE, body))
    with open(target, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(page)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
