#!/usr/bin/env bash
# Makes the GNU Octave package simplexqp-<version>.tar.gz in OUTDIR from this
# tree: DESCRIPTION, COPYING (the license), INDEX, inst/ with each plug-in's
# help file and in-host tests, src/ with the gateway and solver sources, the
# export lists and the Makefile that pkg install runs (package/Makefile).
# Install it in Octave with: pkg install simplexqp-<version>.tar.gz
# Usage: scripts/octave_package.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/release_settings.sh
[ $# -eq 1 ] || { echo "usage: scripts/octave_package.sh OUTDIR" >&2; exit 2; }
outdir=$1
version=$(project_version)
name=simplexqp-$version
staging=$(mktemp -d)
trap 'rm -rf "$staging"' EXIT
package=$staging/$name
mkdir -p "$package/inst" "$package/src/gateway" "$package/src/exports"

sed -e "s/@VERSION@/$version/" -e "s/@DATE@/$(date -u -d "@$(release_epoch)" +%F)/" \
  package/DESCRIPTION.in >"$package/DESCRIPTION"
cp LICENSE "$package/COPYING"
{
  echo "simplexqp >> Quadratic programmes over the probability simplex"
  echo "Solvers"
  printf ' %s\n' "${plugins[@]}"
} >"$package/INDEX"

cp package/Makefile "$package/src/Makefile"
cp -R solvers "$package/src/solvers"
rm -f "$package/src/solvers/CMakeLists.txt"
cp gateway/*.h "$package/src/gateway/"
for plugin in "${plugins[@]}"; do
  write_help "$plugin" "$version" "$package/inst/$plugin.m"
  cp "gateway/$plugin.cpp" "$package/src/gateway/"
  cp "build/linux/$plugin.map" "build/macos/$plugin.exports" "$package/src/exports/"
done

mkdir -p "$outdir"
pack "$staging" "$name" "$outdir/$name.tar.gz"
echo "$outdir/$name.tar.gz"
