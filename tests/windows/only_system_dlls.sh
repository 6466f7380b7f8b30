#!/bin/sh
# teklo.exe must run on any Windows as it is unzipped: it may import from
# KERNEL32, which it needs, and msvcrt, which every Windows has, and from
# no other DLL.
#   usage: only_system_dlls.sh OBJDUMP TEKLO_EXE
set -eu
dlls=$("$1" -p "$2" | grep 'DLL Name:')
echo "$dlls" | grep -q ': KERNEL32.dll$' || { echo "no KERNEL32.dll among: $dlls"; exit 1; }
if echo "$dlls" | grep -viE ': (KERNEL32|msvcrt)\.dll$'; then exit 1; fi
