#!/usr/bin/env bash
# Says how this machine runs 32-bit x86 programs, one word on standard output:
#   native    the kernel runs them itself
#   emulated  binfmt_misc hands them to qemu-i386-static
#   refused   the kernel refuses them and no emulator is registered
#   unknown   32-bit Wine is not installed, so nothing was tried
# The emulator's entry is looked for first: once it is registered, every
# 32-bit program goes through it, so a run that works proves nothing.
set -uo pipefail
entry=/proc/sys/fs/binfmt_misc/qemu-i386

if [ ! -e /proc/sys/fs/binfmt_misc/status ] && [ "$(id -u)" -eq 0 ]; then
  # Unmounted, the entries still act but cannot be seen.
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null || true
fi
if [ -e "$entry" ] && head -n1 "$entry" | grep -qx enabled; then
  echo emulated
  exit 0
fi
loader=/usr/lib/wine/wine
if [ ! -x "$loader" ]; then
  echo unknown
  exit 0
fi
if output=$("$loader" --version 2>&1) && grep -q '^wine-' <<<"$output"; then
  echo native
else
  echo refused
fi
