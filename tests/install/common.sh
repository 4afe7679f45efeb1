# Sourced by the install tests: their shared arguments and checks.
# Arguments: DIST VERSION DIGEST CORPUS-DIR OCTAVE [the test's own...]
#   DIST        the release folder (out/dist)
#   VERSION     the project's version
#   DIGEST      sha256 of the corpus answers every build must give
#   CORPUS-DIR  the corpus problems and answers the in-host tests compare with
#   OCTAVE      octave-cli
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
root=$(cd "$here/../.." && pwd)
dist=$1 version=$2 digest=$3 corpus_dir=$4 octave=$5
shift 5
failures=0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Octave runs from an empty folder of its own: what it writes there shows.
mkdir "$work/cwd"

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

finish() {
  if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed"
    exit 1
  fi
  echo "ok: $*"
}

octave_run() {  # CODE
  (cd "$work/cwd" && "$octave" --no-gui --norc --quiet --no-history --eval "$1")
}

# The in-host tests run against answers that are the shared digest's.
[ "$(sha256sum <"$corpus_dir/simplexQP_corpus_answers.txt" | cut -d' ' -f1)" = "$digest" ] ||
  fail "$corpus_dir/simplexQP_corpus_answers.txt is not the shared corpus answers (sha256 $digest)"

# After SETUP (Octave code that puts the plug-in on the path), simplexQP is
# the plug-in in FOLDER, its help is the help text with this version, and
# nothing shadows anything.
check_help() {  # SETUP FOLDER
  local out
  if ! out=$(octave_run "$1 printf ('which: %s\n', which ('simplexQP')); help simplexQP" 2>&1); then
    fail "help simplexQP failed: $out"
    return
  fi
  grep -qx "which: $2/simplexQP.mex" <<<"$out" || fail "simplexQP is not the plug-in in $2 ($(grep '^which:' <<<"$out"))"
  grep -q "x = simplexQP(Q, b, method)" <<<"$out" || fail "help simplexQP does not show the help text: $out"
  grep -q "simplexQP $version, " <<<"$out" || fail "the help text does not give version $version"
  if grep -qi "shadow" <<<"$out"; then fail "a shadowing warning: $out"; fi
}

# After SETUP, every in-host test of simplexQP passes, the corpus comparison
# included (tests/run_octave_tests.m fails on any skip); and so do those of
# every other plug-in named after it (simplexLSQ, say), which the same SETUP
# puts on the path beside it.
check_in_host_tests() {  # SETUP [PLUGIN...]
  local setup=$1 plugin
  shift
  SIMPLEXQP_CORPUS_DIR=$corpus_dir octave_run "$setup source ('$root/tests/run_octave_tests.m')" ||
    fail "test simplexQP did not pass in full"
  for plugin in "$@"; do
    SIMPLEXQP_TEST_PLUGIN=$plugin octave_run "$setup source ('$root/tests/run_octave_tests.m')" ||
      fail "test $plugin did not pass in full"
  done
}
