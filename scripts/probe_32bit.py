#!/usr/bin/env python3
"""Says how this machine runs 32-bit x86 programs: one word on standard
output, and why on standard error.

  native    the kernel runs them itself
  emulated  an enabled binfmt_misc entry hands 32-bit x86 ELF programs to an
            emulator, whatever the entry's name
  refused   the kernel refuses them ("Exec format error") and no emulator
            is registered
  broken    32-bit Wine is missing, or fails for another reason (a missing
            i386 library, say): nothing may be registered on that ground
  unknown   32-bit Wine runs, but binfmt_misc cannot be seen (not mounted,
            and no rights to mount it), so an emulator may be at work

With --explain, the word and the reason go on one line of standard output.

An emulator's entry is looked for first: once one is registered, every
32-bit program goes through it, so a run that works proves nothing.

HALVERNIK_BINFMT_DIR and HALVERNIK_WINE32_LOADER name another binfmt_misc
folder and 32-bit loader, for the tests of this probe."""
import errno
import os
import subprocess
import sys

SYSTEM_BINFMT = "/proc/sys/fs/binfmt_misc"
BINFMT = os.environ.get("HALVERNIK_BINFMT_DIR", SYSTEM_BINFMT)
LOADER = os.environ.get("HALVERNIK_WINE32_LOADER", "/usr/lib/wine/wine")

# The first bytes of a 32-bit x86 ELF program and of a shared object (which
# the loader is): class 32-bit, little-endian, version 1, System V ABI, then
# the type (2 or 3) and the machine (3, i386).
ELF32_I386 = [bytes.fromhex("7f454c46010101000000000000000000" + kind + "0300") for kind in ("0200", "0300")]


def binfmt_visible():
    """True when the binfmt_misc entries can be read; mounts it first where
    that is the system's and this is root."""
    status = os.path.join(BINFMT, "status")
    if not os.path.exists(status) and BINFMT == SYSTEM_BINFMT and os.geteuid() == 0:
        # Unmounted, the entries still act, but cannot be seen.
        subprocess.run(["mount", "-t", "binfmt_misc", "binfmt_misc", BINFMT],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=False)
    return os.path.exists(status)


def read_entry(path):
    """{'enabled': bool, 'interpreter': str, 'offset': int, 'magic': bytes,
    'mask': bytes} of one binfmt_misc entry, or None for an entry by extension."""
    entry = {"enabled": False, "interpreter": "", "offset": 0, "magic": None, "mask": None}
    with open(path, encoding="ascii", errors="replace") as lines:
        for number, line in enumerate(lines):
            word, _, rest = line.strip().partition(" ")
            if number == 0:
                entry["enabled"] = word == "enabled"
            elif word == "interpreter":
                entry["interpreter"] = rest
            elif word == "offset":
                entry["offset"] = int(rest)
            elif word in ("magic", "mask"):
                entry[word] = bytes.fromhex(rest)
    return entry if entry["magic"] is not None else None


def matches(entry, header):
    magic, offset = entry["magic"], entry["offset"]
    mask = entry["mask"] or b"\xff" * len(magic)
    window = header[offset:offset + len(magic)]
    return len(window) == len(magic) and all(h & m == g & m for h, g, m in zip(window, magic, mask))


def emulator_entry():
    """The name and interpreter of an enabled entry that takes 32-bit x86 ELF
    programs, or None."""
    with open(os.path.join(BINFMT, "status"), encoding="ascii", errors="replace") as status:
        if status.read().strip() != "enabled":
            return None  # binfmt_misc as a whole is off: no entry acts
    for name in sorted(os.listdir(BINFMT)):
        if name in ("status", "register"):
            continue
        try:
            entry = read_entry(os.path.join(BINFMT, name))
        except (OSError, ValueError):
            continue
        if entry and entry["enabled"] and any(matches(entry, header) for header in ELF32_I386):
            return name, entry["interpreter"]
    return None


def run_loader():
    """(word, why) from running the 32-bit loader once."""
    if not os.path.exists(LOADER):
        return "broken", f"{LOADER} is missing: 32-bit Wine (wine32:i386) is not installed"
    try:
        result = subprocess.run([LOADER, "--version"], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.STDOUT, timeout=300, check=False)
    except OSError as error:
        if error.errno == errno.ENOEXEC:
            return "refused", f"the kernel refuses {LOADER}: {error.strerror}"
        return "broken", f"{LOADER} cannot start: {error.strerror}"
    except subprocess.TimeoutExpired:
        return "broken", f"{LOADER} --version did not end within 300 s"
    said = result.stdout.decode(errors="replace").strip()
    if result.returncode == 0 and said.startswith("wine-"):
        return "native", f"{LOADER} runs natively ({said.splitlines()[0]})"
    last = said.splitlines()[-1] if said else "nothing"
    return "broken", f"{LOADER} --version ended with status {result.returncode} and said: {last}"


def probe():
    visible = binfmt_visible()
    if visible:
        found = emulator_entry()
        if found:
            return "emulated", f"binfmt_misc entry {found[0]} hands 32-bit x86 programs to {found[1] or 'an emulator'}"
    word, why = run_loader()
    if word == "native" and not visible:
        return "unknown", f"{why}, but {BINFMT} cannot be seen, so an emulator may be running it"
    return word, why


def main():
    word, why = probe()
    if "--explain" in sys.argv[1:]:
        print(f"{word} ({why})")
    else:
        print(word)
        print(f"probe-32bit: {why}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
