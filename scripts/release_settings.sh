# What the release scripts share; sourced by scripts/release.sh and
# scripts/octave_package.sh from the repository's root.

# Every plug-in the project ships: gateway/<name>.cpp, its help file
# gateway/<name>.m, its export lists build/linux/<name>.map and
# build/macos/<name>.exports.
plugins=(simplexQP simplexQPopt simplexLSQ)

# The version, from the one place it is set.
project_version() {
  local version
  version=$(sed -n 's/^project(simplexQP VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  [ -n "$version" ] || { echo "no project(simplexQP VERSION ...) line in CMakeLists.txt" >&2; return 1; }
  echo "$version"
}

# Archives carry the time of the commit they are made from, so that the same
# commit gives the same bytes.
release_epoch() {
  git log -1 --format=%ct 2>/dev/null || date +%s
}

# A plug-in's help file with the version in its text.
write_help() {  # PLUGIN VERSION DESTINATION
  sed "s/@PROJECT_VERSION@/$2/g" "gateway/$1.m" >"$3"
}

# DIRECTORY (under PARENT) as a gzip'd tar, with fixed order, owners and times.
pack() {  # PARENT DIRECTORY ARCHIVE
  tar --sort=name --owner=0 --group=0 --numeric-owner --mtime="@$(release_epoch)" \
    -C "$1" -cf - "$2" | gzip -n -9 >"$3"
}
