#!/bin/sh
# Checks that compiled code holds no fused multiply-add or -subtract, scalar
# or vector (x86's vfmadd..., ARM's fmadd, fmsub, fnmadd, fnmsub, fmla,
# fmls): each rounds a*b+c once where the solvers' results are defined with
# the product rounded first. The solvers built for ARM without
# -ffp-contract=off have dozens of them.
# Usage: check_no_fma.sh OBJECT-OR-LIBRARY...
set -eu
# LLVM's disassembler reads every processor; binutils' only this machine's.
for objdump in llvm-objdump llvm-objdump-16 llvm-objdump-15 llvm-objdump-14 objdump; do
  command -v "$objdump" >/dev/null 2>&1 && break
done

failures=0
for file in "$@"; do
  name=$(basename "$file")
  if ! code=$("$objdump" -d --no-show-raw-insn "$file" 2>&1) ||
     ! echo "$code" | grep -Eq '^[[:space:]]*[0-9a-f]+:[[:space:]]+[a-z]'; then
    echo "FAIL: $objdump cannot disassemble $name (for another processor, install the Debian package llvm)"
    failures=$((failures + 1))
    continue
  fi
  fused=$(echo "$code" | grep -E '^[[:space:]]*[0-9a-f]+:[[:space:]]+(v?fn?m(add|sub)[a-z0-9]*|fml[as])[[:space:]]' || true)
  if [ -n "$fused" ]; then
    echo "FAIL: $name has $(echo "$fused" | wc -l) fused multiply-adds, e.g.:"
    echo "$fused" | head -n 5
    failures=$((failures + 1))
  else
    echo "$name: no fused multiply-add"
  fi
done
[ "$failures" -eq 0 ]
