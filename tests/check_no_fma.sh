#!/bin/sh
# Checks that compiled code holds no fused multiply-add or -subtract, scalar
# or vector (x86's vfmadd..., ARM's fmadd, fmsub, fnmadd, fnmsub, fmla,
# fmls): each rounds a*b+c once where the solvers' results are defined with
# the product rounded first. The solvers built for ARM without
# -ffp-contract=off have dozens of them.
# Usage: check_no_fma.sh OBJECT-OR-LIBRARY...
set -eu
for objdump in llvm-objdump llvm-objdump-16 llvm-objdump-15 llvm-objdump-14; do
  command -v "$objdump" >/dev/null 2>&1 && break
done
command -v "$objdump" >/dev/null 2>&1 || { echo "no llvm-objdump (Debian package llvm)" >&2; exit 1; }

failures=0
for file in "$@"; do
  fused=$("$objdump" -d --no-show-raw-insn "$file" |
    grep -E '^[[:space:]]*[0-9a-f]+:[[:space:]]+(v?fn?m(add|sub)[a-z0-9]*|fml[as])[[:space:]]' || true)
  if [ -n "$fused" ]; then
    echo "FAIL: $(basename "$file") has $(echo "$fused" | wc -l) fused multiply-adds, e.g.:"
    echo "$fused" | head -n 5
    failures=$((failures + 1))
  else
    echo "$(basename "$file"): no fused multiply-add"
  fi
done
[ "$failures" -eq 0 ]
