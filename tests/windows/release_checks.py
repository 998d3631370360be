#!/usr/bin/env python3
"""Checks of a release folder's files, one claim each. Each prints what is
wrong and exits 1; the release tests run them, and run them once on a
deliberately broken copy too.

  archive DIST            halvernik-tools-<version>-win32.zip (the project's
                          version) holds the five shipped files in their
                          order, each byte for byte the file beside it, with
                          one time, fixed permissions, and nothing else
  sums DIST               SHA256SUMS lists every file of the release, and
                          each matches (sha256sum --strict -c)
  sbom-hashes DIST TARBALL  the bill of materials names the version, both
                          executables with the SHA-256 of the files shipped,
                          and yyjson with the SHA-256 of its checked tarball
  notices DIST TARBALL CXX  THIRD-PARTY-NOTICES.txt holds, word for word,
                          yyjson's LICENSE (from the tarball) and the
                          copyright file of every Debian package that
                          installed the runtime libraries the compiler
                          links statically (asked of the compiler itself),
                          the GCC Runtime Library Exception among them
  readme DIST README_MD   README.txt is plain text with Windows line ends,
                          titled with the version, and holds every block of
                          README.md's marked sections word for word"""
import hashlib
import json
import pathlib
import re
import subprocess
import sys
import tarfile
import zipfile

HERE = pathlib.Path(__file__).resolve().parent
SHIPPED = ["dsn-restore.exe", "cache-access-check.exe", "README.txt", "THIRD-PARTY-NOTICES.txt", "sbom.cdx.json"]
SYMBOLS = ["symbols/dsn-restore.exe", "symbols/cache-access-check.exe"]


def project_version():
    text = (HERE.parents[1] / "CMakeLists.txt").read_text()
    return re.search(r"^project\(\w+ VERSION ([0-9.]+)", text, re.M).group(1)


def archive_name():
    return f"halvernik-tools-{project_version()}-win32.zip"


def sha256(data):
    return hashlib.sha256(data).hexdigest()


def check_archive(dist):
    problems = []
    zips = sorted(path.name for path in dist.glob("*.zip"))
    if zips != [archive_name()]:
        return [f"archives {zips}, not [{archive_name()!r}]"]
    folder = archive_name().removesuffix(".zip")
    with zipfile.ZipFile(dist / archive_name()) as archive:
        entries = archive.infolist()
        names = [entry.filename for entry in entries]
        expected = [f"{folder}/{name}" for name in SHIPPED]
        if names != expected:
            return [f"entries {names}, not {expected}"]
        for entry, name in zip(entries, SHIPPED):
            if archive.read(entry) != (dist / name).read_bytes():
                problems.append(f"{entry.filename} is not {name} as shipped beside the archive")
            if entry.external_attr != 0o100644 << 16 or entry.create_system != 3:
                problems.append(f"{entry.filename}: permissions {entry.external_attr >> 16:o}, not 100644")
            if entry.extra:
                problems.append(f"{entry.filename} has extra fields (times of its own)")
        if len({entry.date_time for entry in entries}) != 1:
            problems.append("the entries have different times")
    return problems


def check_sums(dist):
    listed = [line.split("  ", 1)[1] for line in (dist / "SHA256SUMS").read_text().splitlines()]
    expected = [archive_name()] + SHIPPED + SYMBOLS
    if sorted(listed) != sorted(expected):
        return [f"SHA256SUMS lists {listed}, not {expected}"]
    result = subprocess.run(["sha256sum", "--strict", "--quiet", "-c", "SHA256SUMS"], cwd=dist,
                            capture_output=True, text=True)
    return [line for line in (result.stdout + result.stderr).splitlines()] or (
        ["sha256sum failed"] if result.returncode else [])


def check_sbom_hashes(dist, tarball):
    bom = json.loads((dist / "sbom.cdx.json").read_text())
    problems = []
    version = project_version()
    if bom.get("metadata", {}).get("component", {}).get("version") != version:
        problems.append(f"the product's version is not {version}")
    components = {component.get("name"): component for component in bom.get("components", [])}

    def hashes(component):
        return [h.get("content") for h in component.get("hashes", []) if h.get("alg") == "SHA-256"]

    for name in ("dsn-restore.exe", "cache-access-check.exe"):
        component = components.get(name)
        if component is None:
            problems.append(f"no component {name}")
            continue
        if component.get("version") != version:
            problems.append(f"{name}: version {component.get('version')!r}, not {version}")
        if hashes(component) != [sha256((dist / name).read_bytes())]:
            problems.append(f"{name}: SHA-256 {hashes(component)}, not that of the file shipped")
    yyjson = components.get("yyjson")
    if yyjson is None:
        problems.append("no component yyjson")
    elif hashes(yyjson) != [sha256(pathlib.Path(tarball).read_bytes())]:
        problems.append(f"yyjson: SHA-256 {hashes(yyjson)}, not that of {tarball}")
    return problems


def lines_of(text):
    return text.replace("\r\n", "\n").rstrip("\n").split("\n")


def contains(haystack, needle):
    """Whether the lines of needle stand, in a row, among those of haystack."""
    size = len(needle)
    return any(haystack[i:i + size] == needle for i in range(len(haystack) - size + 1))


def check_notices(dist, tarball, compiler):
    notices = lines_of((dist / "THIRD-PARTY-NOTICES.txt").read_text(encoding="utf-8"))
    problems = []
    with tarfile.open(tarball) as source:
        licence = next(member for member in source.getmembers() if re.fullmatch(r"[^/]+/LICENSE", member.name))
        if not contains(notices, lines_of(source.extractfile(licence).read().decode())):
            problems.append("yyjson's LICENSE is not in it word for word")
    runtime = ["libstdc++.a", "libgcc.a", "libgcc_eh.a", "crtbegin.o", "libmingwex.a", "libmsvcrt.a", "crt2u.o"]
    paths = [subprocess.run([compiler, f"-print-file-name={name}"], capture_output=True, text=True,
                            check=True).stdout.strip() for name in runtime]
    owners = subprocess.run(["dpkg", "-S", *[str(pathlib.Path(p).resolve()) for p in paths]],
                            capture_output=True, text=True).stdout
    packages = sorted({line.split(": ", 1)[0].split(", ")[0] for line in owners.splitlines()})
    if len(packages) < 2:
        problems.append(f"the runtime libraries' packages could not be found: {owners!r}")
    for package in packages:
        copyright_file = pathlib.Path(f"/usr/share/doc/{package}/copyright")
        if not contains(notices, lines_of(copyright_file.read_text(encoding="utf-8"))):
            problems.append(f"{copyright_file} is not in it word for word")
    if not any("GCC RUNTIME LIBRARY EXCEPTION" in line for line in notices):
        problems.append("the GCC Runtime Library Exception is not in it")
    return problems


def marked_blocks(markdown):
    """The words of every block (paragraph, list item, table cell, code line)
    of README.md's marked sections."""
    blocks = []
    inside = False
    for line in markdown.splitlines():
        stripped = line.strip()
        if re.fullmatch(r"<!-- README\.txt(: .+)? -->", stripped):
            inside = True
            blocks.append([])
        elif stripped == "<!-- /README.txt -->":
            inside = False
        elif inside:
            if not stripped or stripped.startswith("```") or re.match(r"^(-|\d+\.)\s", stripped):
                blocks.append([])
            if stripped.startswith("|"):
                blocks += [[cell] for cell in stripped.strip("|").split("|")]
                blocks.append([])
            else:
                blocks[-1].append(stripped)
    return [words(" ".join(block)) for block in blocks if words(" ".join(block))]


def words(text):
    return re.findall(r"[A-Za-z0-9]+", text)


def check_readme(dist, readme_md):
    data = (dist / "README.txt").read_bytes()
    problems = []
    if re.search(rb"(?<!\r)\n", data) or re.search(rb"\r(?!\n)", data):
        problems.append("a line does not end in CR LF")
    if not data.isascii() and not data.startswith(b"\xef\xbb\xbf"):
        problems.append("text beyond ASCII without a byte-order mark")
    text = data.decode("utf-8-sig")
    if not text.startswith(f"Halvernik ODBC Driver maintenance tools {project_version()}\r\n"):
        problems.append("its title does not name the version")
    for mark in ("```", "**", "|---", "](", "`", "<!--"):
        if mark in text:
            problems.append(f"Markdown left in it: {mark!r}")
    found = " " + " ".join(words(text)) + " "
    missing = [block for block in marked_blocks(pathlib.Path(readme_md).read_text()) if
               " " + " ".join(block) + " " not in found]
    problems += [f"not in it: {' '.join(block)[:70]}..." for block in missing]
    return problems


def main():
    what, dist, *rest = sys.argv[1:]
    dist = pathlib.Path(dist)
    checks = {"archive": check_archive, "sums": check_sums, "sbom-hashes": check_sbom_hashes,
              "notices": check_notices, "readme": check_readme}
    problems = checks[what](dist, *rest)
    for problem in problems:
        print(f"  {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
