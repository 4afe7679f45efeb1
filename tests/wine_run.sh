#!/bin/sh
# Runs a 32-bit Windows program of the build tree under Wine: the emulator of
# the Windows toolchain (toolchains/windows-i686.cmake). Wine gets a prefix
# of its own beside the program's folder and says nothing of its own.
# When Wine cannot run here, says why and exits with 77, which the tests
# count as skipped.
# Usage: wine_run.sh PROGRAM.exe [ARGUMENTS...]
program=$1
if ! command -v wine >/dev/null 2>&1; then
  echo "Wine cannot run here: install the Debian packages wine and wine32 (after dpkg --add-architecture i386)" >&2
  exit 77
fi
# Wine's 32-bit loader is itself a 32-bit Linux program: a kernel without
# 32-bit support (or a sandbox that refuses it) cannot start it.
if ! wine --version >/dev/null 2>&1; then
  echo "Wine cannot run here: its 32-bit loader does not start ($(wine --version 2>&1 | tail -n 1))" >&2
  exit 77
fi
WINEPREFIX=$(cd "$(dirname "$program")/.." && pwd)/wine-prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree=;mshtml="  # no offer to install .NET or a browser engine
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
exec wine "$@"
