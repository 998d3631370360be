#!/usr/bin/env python3
"""Writes README.txt for the Windows side of a release: the sections of the
project's README.md that stand between the markers

    <!-- README.txt -->  ...  <!-- /README.txt -->
    <!-- README.txt: Title -->  ...  <!-- /README.txt -->   (with a heading of its own)

rendered as plain text, in their order in README.md, with Windows line ends.
The two cannot disagree: README.txt is made from README.md at every release.

What is rendered: headings (underlined), paragraphs and list items (wrapped),
code blocks (indented), tables (one block per row, each cell after its
column's heading), and inline code, strong emphasis, links and backslash
escapes (their marks dropped; *emphasis* keeps its asterisks, as plain text
writes it).

usage: windows_readme.py README_MD OUT TITLE"""
import re
import sys
import textwrap

WIDTH = 76
BEGIN = re.compile(r"^<!-- README\.txt(?:: (.+?))? -->$")
END = "<!-- /README.txt -->"


def regions(markdown):
    """[(title or None, [lines])] between the markers."""
    found, current, title = [], None, None
    for line in markdown.splitlines():
        if (begin := BEGIN.match(line.strip())) and current is None:
            current, title = [], begin.group(1)
        elif line.strip() == END and current is not None:
            found.append((title, current))
            current = None
        elif current is not None:
            current.append(line)
    if current is not None:
        raise SystemExit("README.txt: a marked region of README.md has no end marker")
    return found


def inline(text):
    """Markdown's inline marks dropped, but for single asterisks, which plain
    text reads as emphasis too (*name* stands for a name); code spans are
    kept as they are."""
    spans = []

    def keep(match):
        spans.append(match.group(1))
        return f"\x01{len(spans) - 1}\x02"

    text = re.sub(r"`([^`]*)`", keep, text)
    text = re.sub(r"!\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"\[([^\]]*)\]\([^)]*\)", r"\1", text)
    text = re.sub(r"\\([\\`*_{}\[\]()#+\-.!|])", keep, text)
    text = re.sub(r"\*\*(.+?)\*\*", r"\1", text)
    return re.sub(r"\x01(\d+)\x02", lambda m: spans[int(m.group(1))], text)


def wrapped(text, first="", rest=""):
    return textwrap.wrap(inline(text), WIDTH, initial_indent=first, subsequent_indent=rest,
                         break_long_words=False, break_on_hyphens=False) or [first.rstrip()]


def cells(row):
    row = row.strip().strip("|")
    return [cell.strip() for cell in re.split(r"(?<!\\)\|", row)]


def render(lines):
    out = []
    i = 0
    while i < len(lines):
        line = lines[i]
        stripped = line.strip()
        if not stripped:
            i += 1
            continue
        if stripped.startswith("```"):
            i += 1
            block = []
            while i < len(lines) and not lines[i].strip().startswith("```"):
                block.append("    " + lines[i] if lines[i].strip() else "")
                i += 1
            i += 1
            out += block + [""]
        elif heading := re.match(r"^(#+)\s+(.*)$", stripped):
            title = inline(heading.group(2))
            out += [title, "-" * len(title), ""]
            i += 1
        elif stripped.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].strip().startswith("|"):
                rows.append(cells(lines[i]))
                i += 1
            header, body = rows[0], [row for row in rows[2:]]
            for row in body:
                out += wrapped(f"{header[0]}: {row[0]}", "", "    ")
                for name, value in zip(header[1:], row[1:]):
                    out += wrapped(f"{name}: {value}", "  ", "      ")
                out.append("")
        elif item := re.match(r"^(-|\d+\.)\s+(.*)$", stripped):
            marker = item.group(1) + " "
            text = [item.group(2)]
            i += 1
            while i < len(lines) and lines[i].startswith(" ") and lines[i].strip() and \
                    not re.match(r"^(-|\d+\.)\s", lines[i].strip()):
                text.append(lines[i].strip())
                i += 1
            out += wrapped(" ".join(text), marker, " " * len(marker))
            if i >= len(lines) or not re.match(r"^(-|\d+\.)\s", lines[i].strip()):
                out.append("")
        else:
            text = []
            while i < len(lines) and lines[i].strip() and not re.match(r"^(#|\||```|-\s|\d+\.\s)", lines[i].strip()):
                text.append(lines[i].strip())
                i += 1
            out += wrapped(" ".join(text)) + [""]
    return out


def main():
    readme, out_path, title = sys.argv[1:4]
    with open(readme, encoding="utf-8") as text:
        found = regions(text.read())
    if not found:
        raise SystemExit("README.txt: README.md has no marked region")
    lines = [title, "=" * len(title), ""]
    for heading, body in found:
        if heading:
            lines += [heading, "-" * len(heading), ""]
        lines += render(body)
    while lines and not lines[-1]:
        lines.pop()
    text = "\n".join(lines) + "\n"
    # Notepad on Windows 7 reads a file without a byte-order mark in the
    # ANSI code page: only a text beyond ASCII gets one.
    encoding = "ascii" if text.isascii() else "utf-8-sig"
    with open(out_path, "w", encoding=encoding, newline="\r\n") as out:
        out.write(text)


if __name__ == "__main__":
    main()
