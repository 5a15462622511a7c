#!/usr/bin/env bash
# Tells whether this kernel runs 32-bit x86 programs, by running one: a static
# 32-bit ELF of a few bytes that only exits with code 42. Exit 0 when it ran;
# otherwise prints the reason and exits 1. Needs nothing but python3.
set -uo pipefail
probe=$(mktemp -d)
trap 'rm -rf "$probe"' EXIT
python3 - "$probe/exit42" <<'EOF'
import struct, sys
code = bytes([0xB8, 1, 0, 0, 0,      # mov eax, 1   (exit)
              0xBB, 42, 0, 0, 0,     # mov ebx, 42
              0xCD, 0x80])           # int 0x80
base, header, program_header = 0x08048000, 52, 32
entry = base + header + program_header
size = header + program_header + len(code)
elf = (b"\x7fELF" + bytes([1, 1, 1]) + bytes(9) +
       struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, header, 0, 0, header, program_header, 1, 0, 0, 0) +
       struct.pack("<IIIIIIII", 1, 0, base, base, size, size, 5, 0x1000) + code)
open(sys.argv[1], "wb").write(elf)
EOF
chmod +x "$probe/exit42"
output=$("$probe/exit42" 2>&1)
status=$?
if [ $status -eq 42 ]; then
    exit 0
fi
echo "this kernel does not run 32-bit programs (a 32-bit probe ended with status $status${output:+: $output})"
exit 1
