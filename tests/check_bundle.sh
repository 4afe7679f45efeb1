#!/bin/sh
# Checks a macOS plug-in's structure, since it cannot run here: a Mach-O
# bundle for the CPU type ARCH (llvm-objdump's X86_64 or ARM64), which on
# ARM64 carries a code signature (Apple silicon runs no unsigned code; the
# linker signs it ad hoc); load commands for the host's libmx, libmex and
# libmat and otherwise only the system library; _mexFunction as the only
# exported symbol; every imported symbol bound to a named library (two-level
# namespace), result creation through _mxCreateDoubleMatrix_700, and each
# further host operation SYMBOL (without its underscore) bound from libmx.
# Usage: check_bundle.sh PLUGIN ARCH [SYMBOL...]
set -eu
plugin=$1
arch=$2
shift 2
name=$(basename "$plugin")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
tool() {  # Debian names the LLVM tools with or without their version
  for candidate in "$1" "$1-16" "$1-15" "$1-14"; do
    command -v "$candidate" >/dev/null 2>&1 && { echo "$candidate"; return; }
  done
  echo "no $1 (Debian package llvm)" >&2
  exit 1
}
objdump=$(tool llvm-objdump)
nm=$(tool llvm-nm)

header=$("$objdump" --macho --private-header "$plugin")
echo "$header" | grep -Eq "MH_MAGIC_64 +$arch +ALL +[^ ]+ +BUNDLE " || fail "not an $arch bundle: $header"
if [ "$arch" = ARM64 ]; then
  "$objdump" --macho --private-headers "$plugin" | grep -q 'cmd LC_CODE_SIGNATURE$' || fail "has no code signature"
fi
echo "$header" | grep -q 'TWOLEVEL' || fail "not linked with two-level namespace"

libraries=$("$objdump" --macho --dylibs-used "$plugin" | sed -n '2,$p' | awk '{ print $1 }' | sort | tr '\n' ' ')
[ "$libraries" = "/usr/lib/libSystem.B.dylib @rpath/libmat.dylib @rpath/libmex.dylib @rpath/libmx.dylib " ] ||
  fail "needs '$libraries'"

exported=$("$nm" --extern-only --defined-only "$plugin" | awk '{ print $3 }' | tr '\n' ' ')
[ "$exported" = "_mexFunction " ] || fail "exports '$exported'"

undefined=$("$nm" -m --undefined-only "$plugin")
echo "$undefined" | grep -v -q '(from lib' && fail "symbols bound to no library: $(echo "$undefined" | grep -v '(from lib')"
for symbol in mxCreateDoubleMatrix_700 "$@"; do
  echo "$undefined" | grep -q " _$symbol (from libmx)" || fail "does not bind _$symbol from libmx"
done
echo "$undefined" | grep -q ' _mexErrMsgTxt (from libmex)' || fail "does not bind _mexErrMsgTxt from libmex"

if [ "$failures" -ne 0 ]; then
  "$objdump" --macho --private-headers "$plugin"
  exit 1
fi
echo "structure of $name: ok"
