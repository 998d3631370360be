#!/usr/bin/env python3
"""Writes THIRD-PARTY-NOTICES.txt for a release: for every third-party part
that the linker put into the images, which image holds it and from which
files, followed by the licence text that ships with it, word for word:
yyjson's LICENSE from the source the build used, and the copyright file of
each Debian package that installed a file the images were linked from (see
build_inputs.py for how those files are found). Packages that ship the same
copyright file share one copy of it. Windows line ends.

usage: third_party_notices.py --out FILE --version V --build-dir DIR --yyjson-version V
           --yyjson-source DIR --yyjson-tarball FILE --image SHIPPED_FILE=LINK_MAP..."""
import argparse
import hashlib
import os
import sys

import build_inputs

RULE = "-" * 78


def files_line(files):
    names = []
    for path, members in files.items():
        names.append(path if members is None else f"{path} ({len(members)} of its members)")
    return names


def main():
    parser = argparse.ArgumentParser()
    for option in ("out", "version", "build-dir", "yyjson-version", "yyjson-source", "yyjson-tarball"):
        parser.add_argument(f"--{option}", required=True)
    parser.add_argument("--image", action="append", required=True)
    args = parser.parse_args()
    maps = {os.path.basename(entry.split("=", 1)[0]): entry.split("=", 1)[1] for entry in args.image}
    packages, yyjson_images = build_inputs.linked_parts(maps, args.build_dir)
    version, yyjson_version, yyjson_source, yyjson_tarball = (
        args.version, args.yyjson_version, args.yyjson_source, args.yyjson_tarball)

    lines = [
        f"Halvernik ODBC Driver maintenance tools {version}: third-party notices",
        "",
        f"{' and '.join(maps)} are linked statically. Besides their own code they hold",
        "code from the parts below: the files the linker took code from when this",
        "release was built, as its link maps name them, and the packages that",
        "installed those files. Each part is followed by the licence text that",
        "ships with it.",
    ]
    sections = []
    if yyjson_images:
        with open(os.path.join(yyjson_source, "LICENSE"), encoding="utf-8") as text:
            sections.append(([f"yyjson {yyjson_version}",
                              f"In: {', '.join(yyjson_images)}",
                              f"Linked from: {build_inputs.YYJSON_ARCHIVE}, built from {os.path.basename(yyjson_tarball)}",
                              "Licence text: LICENSE of that source"], text.read()))
    by_text = {}
    for package, files, images in packages:
        with open(package.copyright, encoding="utf-8") as text:
            content = text.read()
        by_text.setdefault(hashlib.sha256(content.encode()).hexdigest(), (content, []))[1].append(
            (package, files, images))
    for content, group in by_text.values():
        heading = []
        for package, files, images in group:
            heading += [f"Debian package {package.name} {package.version} ({package.summary})",
                        f"In: {', '.join(images)}",
                        "Linked from:"] + [f"  {line}" for line in files_line(files)]
        heading.append("Licence text: " + ", ".join(package.copyright for package, _, _ in group))
        sections.append((heading, content))
    for heading, content in sections:
        lines += ["", RULE] + heading + [RULE, ""] + content.rstrip("\n").split("\n")
    with open(args.out, "w", encoding="utf-8", newline="\r\n") as notices:
        notices.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    try:
        main()
    except build_inputs.UnknownInput as error:
        sys.exit(f"third-party notices: {error}")
