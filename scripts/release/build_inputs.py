"""What went into a release build, and where each piece came from.

- The code each image holds: read from its link map (written beside the image
  by the linker), which names every object file loaded whole and every
  archive member pulled in. Files in the build folder are the tools' own
  code, but for libyyjson.a, built from yyjson's source; every other file is
  traced to the Debian package that installed it (dpkg -S).
- What built it: the tools CMake found (the compilers, the compiler proper
  and the linker that the driver runs, the resource compiler, the archiver,
  strip, cmake and ninja) and the headers the compiler read (ninja's dependency log), each
  traced to its Debian package."""
import glob
import os
import re
import shutil
import subprocess
from dataclasses import dataclass, field

YYJSON_ARCHIVE = "libyyjson.a"


@dataclass
class Package:
    name: str
    version: str
    architecture: str
    summary: str
    paths: set = field(default_factory=set)

    @property
    def copyright(self):
        return f"/usr/share/doc/{self.name}/copyright"

    @property
    def purl(self):
        from urllib.parse import quote
        codename = os_release().get("VERSION_CODENAME", "")
        qualifiers = f"?arch={self.architecture}" + (f"&distro={codename}" if codename else "")
        return f"pkg:deb/debian/{quote(self.name, safe='')}@{quote(self.version, safe='')}{qualifiers}"


def os_release():
    values = {}
    with open("/etc/os-release", encoding="utf-8") as lines:
        for line in lines:
            name, _, value = line.strip().partition("=")
            values[name] = value.strip('"')
    return values


def link_map_inputs(map_path):
    """{file: sorted member names, or None for an object loaded whole}, the
    paths as the linker named them, relative ones to the build folder."""
    inputs = {}
    section = None
    member = re.compile(r"^(\S.*?\.a)\((.+?)\)(?:\s|$)")
    with open(map_path, encoding="utf-8", errors="replace") as lines:
        for line in lines:
            line = line.rstrip("\n")
            if line == "Archive member included to satisfy reference by file (symbol)":
                section = "members"
            elif line in ("Discarded input sections", "Memory Configuration", "Allocating common symbols"):
                section = None
            elif line == "Linker script and memory map":
                section = "script"
            elif section == "members" and (found := member.match(line)):
                inputs.setdefault(found.group(1), set()).add(found.group(2))
            elif section == "script" and line.startswith("LOAD ") and not line.endswith(".a"):
                path = line[len("LOAD "):]
                if path != "dll stuff" and not path.startswith("linker stubs"):
                    inputs[path] = None
    return {path: (sorted(members) if members is not None else None) for path, members in inputs.items()}


def normalized(path, build_dir):
    return os.path.normpath(path if os.path.isabs(path) else os.path.join(build_dir, path))


def in_folder(path, folder):
    return os.path.commonpath([path, os.path.realpath(folder)]) == os.path.realpath(folder)


def debian_packages(paths):
    """{path: Package} for each path a Debian package installed (looked up as
    written, then with its links resolved); paths no package owns are left out."""
    owners = {}
    wanted = {}
    for path in paths:
        for candidate in dict.fromkeys([path, os.path.realpath(path)]):
            wanted.setdefault(candidate, path)
    result = subprocess.run(["dpkg", "-S", *wanted], capture_output=True, text=True)
    for line in result.stdout.splitlines():
        names, _, owned = line.rpartition(": ")
        if owned in wanted and wanted[owned] not in owners and "diversion" not in names:
            owners[wanted[owned]] = names.split(", ")[0]
    packages = {}
    for name in sorted(set(owners.values())):
        version, architecture, summary = subprocess.run(
            ["dpkg-query", "-W", "-f", "${Version}\t${Architecture}\t${binary:Summary}", name],
            capture_output=True, text=True, check=True).stdout.split("\t")
        packages[name] = Package(name, version, architecture, summary)
    return {path: packages[owner] for path, owner in owners.items()}


class UnknownInput(Exception):
    pass


def linked_parts(maps, build_dir):
    """What each image holds besides the tools' own code.

    maps: {image name: its link map}. Returns (packages, yyjson): packages
    is a list of (Package, {path: members}, [image names]) sorted by name;
    yyjson is the list of images that hold yyjson. Raises UnknownInput for a
    file that neither the build nor a package made."""
    build_dir = os.path.realpath(build_dir)
    linked = {}
    yyjson_images = []
    for image, map_path in maps.items():
        for path, members in link_map_inputs(map_path).items():
            full = normalized(path, build_dir)
            if in_folder(full, build_dir):
                if os.path.basename(full) == YYJSON_ARCHIVE:
                    yyjson_images.append(image)
                continue
            entry = linked.setdefault(full, {"members": set(), "whole": False, "images": []})
            entry["whole"] |= members is None
            entry["members"].update(members or [])
            entry["images"].append(image)
    owners = debian_packages(linked)
    unknown = sorted(set(linked) - set(owners))
    if unknown:
        raise UnknownInput("linked from files that no Debian package installed: " + ", ".join(unknown))
    parts = {}
    for path, entry in sorted(linked.items()):
        package = owners[path]
        files, images = parts.setdefault(package.name, (package, {}, []))[1:]
        files[path] = None if entry["whole"] else sorted(entry["members"])
        images.extend(image for image in entry["images"] if image not in images)
    order = list(maps)
    return ([(package, files, sorted(images, key=order.index)) for package, files, images in
             (parts[name] for name in sorted(parts))], yyjson_images)


def cmake_values(build_dir):
    """CMake's cache, and the compilers it found (kept beside the cache)."""
    values = {}
    with open(os.path.join(build_dir, "CMakeCache.txt"), encoding="utf-8") as lines:
        for line in lines:
            if found := re.match(r"^([A-Za-z_0-9]+):[A-Z]+=(.*)$", line.rstrip("\n")):
                values[found.group(1)] = found.group(2)
    for path in glob.glob(os.path.join(build_dir, "CMakeFiles", "*", "CMake*Compiler.cmake")):
        with open(path, encoding="utf-8") as text:
            for found in re.finditer(r'^set\((CMAKE_[A-Z]+_COMPILER) "([^"]+)"\)$', text.read(), re.M):
                values[found.group(1)] = found.group(2)
    return values


def build_tools(build_dir):
    """[(Package, [what it provided])] for the tools and headers of the build,
    sorted by package name; tools outside any package are left out."""
    build_dir = os.path.realpath(build_dir)
    cache = cmake_values(build_dir)
    tools = {}
    for key in ("CMAKE_C_COMPILER", "CMAKE_CXX_COMPILER", "CMAKE_RC_COMPILER", "CMAKE_CXX_COMPILER_AR",
                "CMAKE_STRIP", "CMAKE_COMMAND", "CMAKE_MAKE_PROGRAM"):
        if cache.get(key):
            tools[os.path.realpath(shutil.which(cache[key]) or cache[key])] = key
    for language, proper in (("CMAKE_C_COMPILER", "cc1"), ("CMAKE_CXX_COMPILER", "cc1plus"),
                             ("CMAKE_CXX_COMPILER", "ld")):
        path = subprocess.run([cache[language], f"-print-prog-name={proper}"], capture_output=True,
                              text=True, check=True).stdout.strip()
        tools[os.path.realpath(path)] = proper
    headers = set()
    deps = subprocess.run([cache["CMAKE_MAKE_PROGRAM"], "-C", build_dir, "-t", "deps"], capture_output=True,
                          text=True, check=True).stdout
    for line in deps.splitlines():
        if line.startswith("    /"):
            path = os.path.normpath(line.strip())
            if not in_folder(path, build_dir):
                headers.add(path)
    owners = debian_packages(list(tools) + sorted(headers))
    provided = {}
    for path, package in owners.items():
        entry = provided.setdefault(package.name, (package, set()))
        entry[1].add(os.path.basename(path) if path in tools else "headers")
    return [(package, sorted(what)) for package, what in (provided[name] for name in sorted(provided))]
