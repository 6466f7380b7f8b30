#!/bin/sh
# Readies Wine for the Windows tests: every process there needs Wine's
# server, and one kept up for the whole run spares each test its start
# (seconds each); the tests' stand-in for the command interpreter is made
# ComSpec, so that a test can tell whether teklo started one.
#   usage: wine_start.sh STAND_IN_EXE              64-bit, with WINEPREFIX set
#          wine_start.sh STAND_IN_EXE WINE32_SH ROOT BUILD_DIR
#                                                  32-bit, in a root whose
#                                                  Wine sees the build
set -eu
stand_in=$1
if [ $# -eq 1 ]; then
  # The lasting server runs in a session of its own, lest ctest end it
  # with this test. Wine's helper processes live as long as the server and
  # keep the descriptors of the client that started them, so they are
  # started here, on /dev/null, where no test waits for them to close.
  exec < /dev/null > /dev/null 2>&1
  mkdir -p "$WINEPREFIX"
  setsid wineserver --persistent=60
  wineboot --init
  in_wine() { "$@"; }
else
  wine32=$2 root=$3
  "$wine32" setup "$root" "$4"
  in_wine() { "$wine32" exec "$root" "$@"; }
fi
in_wine wine reg add 'HKCU\Environment' /v ComSpec /d "$(in_wine winepath -w "$stand_in")" /f > /dev/null
