#!/bin/sh
# Checks that only the file that builds the solvers' settings asks the
# processor which vector path it runs (availableVectorPath); everything else
# is handed the path. On a virtual machine the question traps to the
# hypervisor (microseconds a call), so a helper that asks on every call,
# inside a sweep, costs more than the solve: it once made SMO 20 times
# slower, and nothing but this check would have seen it. Comments do not
# count; the file that declares and defines the question does not either.
# Usage: check_vector_path.sh ROOT
set -eu
cd "$1"
allowed="solvers/common/solver_settings.cpp solvers/common/vector_path.h solvers/common/vector_path.cpp"
found=0
for file in $(find solvers gateway bench tests examples host -name '*.cpp' -o -name '*.h' | LC_ALL=C sort); do
  case " $allowed " in *" $file "*) continue ;; esac
  calls=$(sed 's://.*$::' "$file" | grep -n 'availableVectorPath' || true)
  if [ -n "$calls" ]; then
    echo "$calls" | sed "s|^|FAIL: $file:|"
    found=1
  fi
done
if [ "$found" -ne 0 ]; then
  echo "FAIL: only solvers/common/solver_settings.cpp (defaultSettings) may ask availableVectorPath; pass the settings' path instead"
  exit 1
fi
echo "availableVectorPath is asked in solvers/common/solver_settings.cpp alone"
