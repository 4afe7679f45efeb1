#!/bin/sh
# Runs a Windows program of the build tree under Wine: the emulator of the
# Windows toolchains (toolchains/windows-*.cmake). win32 runs it with Wine's
# 32-bit loader, win64 with the 64-bit loader (wine64) called directly, since
# the `wine` wrapper prefers the 32-bit one. Wine gets a prefix of its own
# beside the program's folder, made for that loader, says nothing of its own
# and opens no window.
# When Wine cannot run here, says why and exits with 77, which the tests
# count as skipped; under CI (CI=true), where every package is installed, a
# missing Wine is a failure instead. A kernel that refuses 32-bit programs
# cannot be helped, so that stays a skip.
# Usage: wine_run.sh win32|win64 PROGRAM.exe [ARGUMENTS...]
kind=$1
shift
program=$1

cannot_run() {  # REASON AVOIDABLE
  echo "Wine cannot run here: $1" >&2
  if [ "$2" = avoidable ] && [ "${CI:-}" = true ]; then
    echo "(under CI every package is installed: this is a failure)" >&2
    exit 1
  fi
  exit 77
}

case $kind in
  win32)
    loader=wine
    # scripts/test.sh notes there when apt-get could not install wine32:i386
    # (Debian's lists of the two architectures out of step).
    unavailable=$(dirname "$0")/../out/unavailable-packages.txt
    if ! { command -v wine >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ]; } && [ -s "$unavailable" ]; then
      cannot_run "$(cat "$unavailable")" unavoidable
    fi
    command -v wine >/dev/null 2>&1 && [ -x /usr/lib/wine/wine ] ||
      cannot_run "install the Debian packages wine and wine32:i386 (after dpkg --add-architecture i386)" avoidable
    # Wine's 32-bit loader is itself a 32-bit Linux program: a kernel without
    # 32-bit support (or a sandbox that refuses it) cannot start it.
    wine --version >/dev/null 2>&1 ||
      cannot_run "its 32-bit loader does not start, as this kernel runs no 32-bit programs ($(wine --version 2>&1 | tail -n 1))" unavoidable
    ;;
  win64)
    loader=$(command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64)
    [ -x "$loader" ] || cannot_run "install the Debian package wine64" avoidable
    WINEARCH=win64
    export WINEARCH
    ;;
  *)
    echo "usage: wine_run.sh win32|win64 PROGRAM.exe [ARGUMENTS...]" >&2
    exit 2
    ;;
esac

WINEPREFIX=$(cd "$(dirname "$program")/.." && pwd)/wine-prefix
WINEDEBUG=-all
WINEDLLOVERRIDES="mscoree=;mshtml="  # no offer to install .NET or a browser engine
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
unset DISPLAY WAYLAND_DISPLAY
exec "$loader" "$@"
