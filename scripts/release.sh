#!/usr/bin/env bash
# Makes the release in out/dist/:
#
#   simplexQP-<version>-<platform>.tar.gz  one per deliverable found in
#       out/deliverables (scripts/deliverables.sh, run first when they are
#       missing or older than the sources), and one of the x86-64 tree's
#       Octave build (octave-linux-x86_64): the plug-in files, their help
#       files, README.md (the user's part of the README), the doc pages it
#       links to (doc/) and LICENSE
#   simplexqp-<version>.tar.gz             the GNU Octave package
#                                          (scripts/octave_package.sh)
#   simplexQP-<version>-source.tar.gz      the sources of the commit (git archive)
#   SHA256SUMS                             over all of them (sha256sum -c SHA256SUMS)
#
# With --test, then runs the install tests (tests/install) on what it made:
# the build script in the unpacked source archive, the Octave package
# installed into a throw-away prefix, the Linux x86-64 archives unpacked and
# run (the MATLAB one by the stand-in host, the Octave one in Octave), and
# the sums.
# Usage: scripts/release.sh [--test]
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/release_settings.sh
scripts/require.sh release
if ! git rev-parse --verify -q HEAD >/dev/null; then
  echo "release.sh: the source archive is made from a git commit: run this in a git checkout" >&2
  exit 1
fi
case "$*" in
  "") run_tests=false ;;
  --test) run_tests=true ;;
  *) echo "usage: scripts/release.sh [--test]" >&2; exit 2 ;;
esac
version=$(project_version)
gathered=out/deliverables
dist=out/dist

# The platform each deliverable's extension stands for.
platform_of() {  # EXTENSION
  case $1 in
    mexa64) echo linux-x86_64 ;;
    mexglx) echo linux-i386 ;;
    dll) echo windows-i686 ;;
    mexw64) echo windows-x86_64 ;;
    mexmaci64) echo macos-x86_64 ;;
    mexmaca64) echo macos-arm64 ;;
    *) return 1 ;;
  esac
}

deliverables_outdated() {
  local file
  for plugin in "${plugins[@]}"; do
    [ -f "$gathered/$plugin.mexa64" ] || return 0
  done
  for file in "$gathered"/*; do
    [ -n "$(find CMakeLists.txt gateway solvers build host toolchains -newer "$file" -print -quit)" ] && return 0
  done
  return 1
}

# The README's sections for someone who uses the plug-ins: the introduction,
# Install, the plug-ins' calls, Errors, what happens when a solver does
# not converge, the links to the doc pages, License. (Not the quick start,
# whose scripts are not in the archive.)
readme_user_part() {
  awk -v wanted="Install|Calling simplexQP|Calling simplexQPopt|Calling simplexLSQ|Errors|When a solver stops without converging|More|License" '
    BEGIN { keep = 1; split(wanted, names, "|"); for (i in names) missing[names[i]] = 1 }
    /^## / { title = substr($0, 4); keep = (title in missing); if (keep) delete missing[title] }
    keep { print }
    END { for (title in missing) { print "README.md has no section \"" title "\"" > "/dev/stderr"; failed = 1 }
          exit failed }' README.md
}

platform_archive() {  # FOLDER EXTENSION PLATFORM
  local folder=$1 extension=$2 platform=$3 name staging
  name=simplexQP-$version-$platform
  staging=$(mktemp -d)
  mkdir "$staging/$name"
  for plugin in "${plugins[@]}"; do
    cp "$folder/$plugin.$extension" "$staging/$name/"
    write_help "$plugin" "$version" "$staging/$name/$plugin.m"
  done
  readme_user_part >"$staging/$name/README.md"
  cp -R doc "$staging/$name/"
  cp LICENSE "$staging/$name/"
  pack "$staging" "$name" "$dist/$name.tar.gz"
  rm -rf "$staging"
  echo "$dist/$name.tar.gz"
}

if deliverables_outdated; then
  scripts/deliverables.sh
fi

rm -rf "$dist"
mkdir -p "$dist"
for file in "$gathered/${plugins[0]}".*; do
  extension=${file##*.}
  if ! platform_of "$extension" >/dev/null; then
    echo "release.sh: $file: no platform known for .$extension (add it to platform_of)" >&2
    exit 1
  fi
  platform_archive "$gathered" "$extension" "$(platform_of "$extension")"
done
# The x86-64 tree's Octave build, for Octave on Linux x86-64 without a compiler.
if [ -f "out/release/octave/${plugins[0]}.mex" ]; then
  platform_archive out/release/octave mex octave-linux-x86_64
else
  echo "release.sh: no Octave build in out/release/octave (Octave not installed?): no octave-linux-x86_64 archive"
fi
scripts/octave_package.sh "$dist"
git archive --format=tar --prefix="simplexQP-$version/" HEAD | gzip -n -9 >"$dist/simplexQP-$version-source.tar.gz"
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
  echo "release.sh: note: the source archive holds commit $(git rev-parse --short HEAD), without the uncommitted changes"
fi
(cd "$dist" && sha256sum -- *.tar.gz >SHA256SUMS)
echo "== release $version in $dist:"
cat "$dist/SHA256SUMS"

if $run_tests; then
  tests=out/install-tests
  cmake -S tests/install -B "$tests" -DSIMPLEXQP_DIST="$PWD/$dist" -DSIMPLEXQP_RELEASE_TREE="$PWD/out/release" >/dev/null
  # The log feeds the closing count of scripts/test.sh.
  ctest --test-dir "$tests" --output-on-failure | tee "$tests/ctest.log"
fi
