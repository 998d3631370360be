#!/usr/bin/env python3
"""The first thing a program's entry does is restrict the DLL search to
System32: in the entry's machine code (read from the unstripped copy), the
first call goes through the import of GetModuleHandleW, the second through
GetProcAddress, and the third to the function that GetProcAddress returned,
with LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800) as its argument, and
"SetDefaultDllDirectories" among the image's strings.

usage: check_entry_first_call.py OBJDUMP UNSTRIPPED_EXE ENTRY_SYMBOL"""
import re
import subprocess
import sys


def run(*args):
    return subprocess.run(list(args), check=True, stdout=subprocess.PIPE).stdout.decode()


def import_slots(objdump, exe):
    """{address of the import slot: function name}, from the symbol table's
    __imp_ symbols and the section addresses."""
    vma = {}
    for line in run(objdump, "-h", exe).splitlines():
        parts = line.split()
        if len(parts) >= 4 and parts[0].isdigit():
            vma[int(parts[0]) + 1] = int(parts[3], 16)  # the symbol table counts sections from 1
    slots = {}
    for match in re.finditer(r"\(sec +(\d+)\).* 0x([0-9a-f]+) __imp__?([A-Za-z]+)(@\d+)?$", run(objdump, "-t", exe),
                             re.M):
        section, offset, name = int(match.group(1)), int(match.group(2), 16), match.group(3)
        if section in vma:
            slots[vma[section] + offset] = name
    return slots


# The one argument of a call: on the stack in i686 code, in ecx in x64 code.
ARGUMENT = re.compile(r"\t(?:movl?\s+\$0x([0-9a-f]+),\(%esp\)|push\s+\$0x([0-9a-f]+)|mov\s+\$0x([0-9a-f]+),%ecx)$")
LOAD_LIBRARY_SEARCH_SYSTEM32 = 0x800


def calls(objdump, exe, entry):
    """The entry's calls, in order: (target, argument). The target is an
    import's name, "register" for a call through a register, or the
    callee's address; the argument is the last constant put where the call's
    first argument goes since the call before, or None."""
    found, argument = [], None
    for line in run(objdump, "-d", f"--disassemble={entry}", exe).splitlines():
        if match := ARGUMENT.search(line):
            argument = int(next(group for group in match.groups() if group), 16)
        if "\tcall " not in line:
            continue
        operand = line.split("\tcall ", 1)[1].strip()
        if re.match(r"\*%[re]?[a-z0-9]+$", operand):
            target = "register"
        elif match := re.search(r"<__imp__?([A-Za-z]+)(@\d+)?>", operand):
            target = match.group(1)
        elif match := re.match(r"\*0x([0-9a-f]+)$", operand):
            target = int(match.group(1), 16)
        else:
            target = operand
        found.append((target, argument))
        argument = None
    return found


def main():
    objdump, exe, entry = sys.argv[1:4]
    slots = import_slots(objdump, exe)
    found = calls(objdump, exe, entry)
    targets = [slots.get(t, hex(t)) if isinstance(t, int) else t for t, _ in found]
    expected = ["GetModuleHandleW", "GetProcAddress", "register"]
    failures = 0
    if targets[:3] == expected:
        print(f"ok: {entry} first calls {', '.join(expected[:2])}, then the function found")
        argument = found[2][1]
        if argument == LOAD_LIBRARY_SEARCH_SYSTEM32:
            print("ok: the function found is called with LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800)")
        else:
            shown = "no constant" if argument is None else hex(argument)
            print(f"FAILED: the function found is called with {shown}, not LOAD_LIBRARY_SEARCH_SYSTEM32 (0x800)")
            failures += 1
    else:
        print(f"FAILED: {entry} first calls {targets[:3]}, expected {expected}")
        failures += 1
    with open(exe, "rb") as image:
        if b"SetDefaultDllDirectories\0" in image.read():
            print("ok: the image names SetDefaultDllDirectories")
        else:
            print("FAILED: the image does not name SetDefaultDllDirectories")
            failures += 1
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
