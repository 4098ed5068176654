#!/usr/bin/env bash
# Does this machine run 32-bit x86 programs? Many 64-bit kernels do; some run none at all
# ("32-bit emulation disabled"), and there Wine's 32-bit half cannot run either. The only
# sure answer comes from running one, so this writes a tiny static i386 program that only
# exits with status 42, needs nothing installed, and runs it. When Wine's 32-bit loader is
# installed it must start as well.
#   tools/check-32bit.sh      exit 0: it does; exit 1: it does not, and one line says why
# EDGEPAD_NO_32BIT=1 answers "no" without looking, to try that path on any machine.
set -uo pipefail
# The reason comes from the shell's and the loader's messages: in English, whatever the
# caller's locale (the Wine rig's is Japanese).
export LC_ALL=C

build="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build"

no() {
    echo "this machine runs no 32-bit programs ($1)"
    exit 1
}

if [[ -n "${EDGEPAD_NO_32BIT:-}" && "${EDGEPAD_NO_32BIT}" != 0 ]]; then
    no "EDGEPAD_NO_32BIT is set"
fi

# Under build/, where the host tests run, rather than in /tmp, which may forbid running
# programs.
mkdir -p "$build"
dir="$(mktemp -d "$build/.check-32bit.XXXXXX")" || no "cannot write under $build"
trap 'rm -rf "$dir"' EXIT

# ELF header, one loadable segment at 0x08048000, then the code at 0x08048054:
#   xor ebx, ebx; mov bl, 42; xor eax, eax; inc eax (exit); int 0x80
elf='\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0'
elf+='\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0'
elf+='\0\0\0\0\0\0'
elf+='\x01\0\0\0\0\0\0\0\0\x80\x04\x08\0\x80\x04\x08\x5d\0\0\0\x5d\0\0\0\x05\0\0\0\0\x10\0\0'
elf+='\x31\xdb\xb3\x2a\x31\xc0\x40\xcd\x80'
printf "$elf" >"$dir/exit42"
chmod +x "$dir/exit42"

status=0
error="$("$dir/exit42" 2>&1)" || status=$?
if ((status != 42)); then
    error="${error##*: }"
    no "a 32-bit test program: ${error:-exit status $status}"
fi

loader=/usr/lib/wine/wine
if [[ -x "$loader" ]]; then
    status=0
    error="$("$loader" --version 2>&1)" || status=$?
    if ((status != 0)); then
        error="${error##*: }"
        no "$loader --version: ${error:-exit status $status}"
    fi
fi
exit 0
