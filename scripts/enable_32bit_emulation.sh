#!/usr/bin/env bash
# Hands 32-bit x86 programs to qemu-i386-static through binfmt_misc, on a
# machine whose kernel refuses them (scripts/probe_32bit.py said "refused";
# set-up calls this then only). Never stops set-up: whatever cannot be done
# is said in one line, and the tests then run the x86_64 build alone and say
# that the deliverables did not run.
#
# An entry that is already there (disabled, say) is enabled rather than
# registered again, which binfmt_misc refuses ("File exists").
#
# HALVERNIK_BINFMT_DIR and HALVERNIK_QEMU_I386 name another binfmt_misc folder
# and emulator, for the tests.
set -uo pipefail
binfmt=${HALVERNIK_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
entry="$binfmt/qemu-i386"
emulator=${HALVERNIK_QEMU_I386:-/usr/bin/qemu-i386-static}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
say() { echo "enable-32bit-emulation: $*"; }

if [ ! -x "$emulator" ]; then
  say "$emulator is not installed: 32-bit programs cannot run here"
  exit 0
fi
if [ ! -e "$binfmt/status" ] && ! as_root mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null; then
  say "binfmt_misc cannot be mounted at $binfmt: 32-bit programs cannot be emulated here"
  exit 0
fi
if [ -e "$entry" ]; then
  if printf 1 | as_root tee "$entry" >/dev/null 2>&1; then
    say "enabled the existing entry $entry"
  else
    say "the existing entry $entry cannot be enabled"
  fi
  exit 0
fi
# ELF32, little-endian, i386, executable or shared object, in the escapes
# that binfmt_misc decodes itself. F: the kernel opens the interpreter now,
# so it also works inside other roots.
registration=':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:'
registration+='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'
registration+="$emulator:F"
if error=$(printf '%s' "$registration" | as_root tee "$binfmt/register" 2>&1 >/dev/null); then
  say "registered $emulator for 32-bit x86 programs"
else
  say "binfmt_misc refused the registration (${error:-no reason given})"
fi
exit 0
