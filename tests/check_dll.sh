#!/bin/sh
# Checks what a Windows plug-in exports and imports, as the Windows loader
# sees it: a DLL for the machine FORMAT names (objdump's pei-i386 for 32-bit
# x86, pei-x86-64 for x86-64), named after its file in its export directory,
# exporting mexFunction alone; the host operations imported from libmx.dll
# and libmex.dll, result creation through CREATE-SYMBOL; every other import
# from a system DLL (the compiler's runtime is linked in). Each further
# SYMBOL must be imported from libmx.dll too.
# Usage: check_dll.sh PLUGIN OBJDUMP FORMAT CREATE-SYMBOL [SYMBOL...]
set -eu
plugin=$1
objdump=$2
format=$3
create=$4
shift 4
name=$(basename "$plugin")
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

headers=$("$objdump" -p "$plugin")
echo "$headers" | grep -q "file format $format\$" || fail "not a $format file"
echo "$headers" | grep -Eq '^[[:space:]]+DLL$' || fail "not a DLL"
echo "$headers" | grep -Eq "^Name[[:space:]]+[0-9a-f]+ $(echo "$name" | sed 's/\./\\./g')\$" ||
  fail "export directory does not name $name"

# Names of the export table, listed as "[   0] mexFunction".
exported=$(echo "$headers" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | grep -E '^\s*\[ *[0-9]+\]' |
  awk '{ print $NF }' | tr '\n' ' ')
[ "$exported" = "mexFunction " ] || fail "exports '$exported'"

# Imports: "DLL Name: X", then one "vma hint name" row per function, up to
# the next blank line.
imports=$(echo "$headers" | awk '
  /^\tDLL Name: / { dll = $3; next }
  dll != "" && NF == 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ { print dll, $3 }
  /^$/ { dll = "" }')
dlls=$(echo "$imports" | awk '{ print $1 }' | sort -u | tr '\n' ' ')
for dll in $dlls; do
  case $(echo "$dll" | tr 'A-Z' 'a-z') in
    libmx.dll | libmex.dll | kernel32.dll | msvcrt.dll | user32.dll | advapi32.dll | ntdll.dll) ;;
    *) fail "imports from $dll, neither the host's nor a system DLL" ;;
  esac
done
for symbol in "$create" "$@"; do
  echo "$imports" | grep -q "^libmx.dll $symbol\$" || fail "does not import $symbol from libmx.dll"
done
echo "$imports" | grep -q '^libmex.dll mexErrMsgTxt$' || fail "does not import mexErrMsgTxt from libmex.dll"
host_misplaced=$(echo "$imports" | awk '$2 ~ /^(mx|mex)[A-Z]/ && !(($1 == "libmx.dll" && $2 ~ /^mx/) || ($1 == "libmex.dll" && $2 ~ /^mex/))')
[ -z "$host_misplaced" ] || fail "host operations imported from the wrong DLL: $host_misplaced"

if [ "$failures" -ne 0 ]; then
  echo "$headers"
  exit 1
fi
echo "exports and imports of $name: ok"
