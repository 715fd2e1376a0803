#!/usr/bin/env bash
# Exits 0 when this machine runs 32-bit x86 programs, 1 (with the reason on standard error)
# when it does not. 32-bit Wine, and with it the 32-bit JV-Link bridge, needs them: a kernel
# without 32-bit support (built or booted with its IA-32 emulation off, or a host that runs
# 64-bit user code only) refuses them with "Exec format error", whatever packages are installed.
#
# The probe is the smallest 32-bit Linux program: an ELF header, one program header and
# "exit(0)" through the 32-bit system call (93 bytes, no library).
set -u
probe=$(mktemp "${TMPDIR:-/tmp}/tavolen-i386-probe.XXXXXX") || exit 1
trap 'rm -f "$probe"' EXIT
printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000' >"$probe"
# ELF header: executable, i386, entry 0x08048054, program headers at 52, one of 32 bytes.
printf '\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000' >>"$probe"
printf '\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000' >>"$probe"
# One loadable, readable and executable segment: the whole file at 0x08048000.
printf '\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010' >>"$probe"
printf '\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000' >>"$probe"
# mov eax, 1 (exit); xor ebx, ebx (status 0); int 0x80
printf '\270\001\000\000\000\061\333\315\200' >>"$probe"
chmod +x "$probe"
if out=$("$probe" 2>&1); then
  exit 0
fi
# The shell's complaint names the probe's file; its last part is the reason.
echo "this machine cannot run 32-bit programs (its kernel refuses them: ${out##*: })" >&2
exit 1
