#!/usr/bin/env bash
# SHA256SUMS covers every archive of the release and matches each; the same
# check fails on an archive with one byte more.
# Usage: check_checksums.sh DIST
set -euo pipefail
dist=$1
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
(cd "$dist" && sha256sum --check --strict SHA256SUMS) || fail "sha256sum --check SHA256SUMS"
listed=$(awk '{ print $2 }' "$dist/SHA256SUMS" | sort)
present=$(cd "$dist" && ls -- *.tar.gz | sort)
[ "$listed" = "$present" ] || fail "SHA256SUMS lists [$listed], the release holds [$present]"

copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
cp "$dist"/* "$copy/"
first=$(head -1 "$copy/SHA256SUMS" | awk '{ print $2 }')
printf 'x' >>"$copy/$first"
if (cd "$copy" && sha256sum --check --status SHA256SUMS); then
  fail "a changed $first still passes the check"
fi
[ "$failures" -eq 0 ] || exit 1
echo "ok: SHA256SUMS matches all $(wc -l <"$dist/SHA256SUMS") archives"
