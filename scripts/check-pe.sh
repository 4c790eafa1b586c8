#!/usr/bin/env bash
# Checks that every Windows program of a build tree has the expected PE format and machine.
#   check-pe.sh TREE FORMAT MACHINE     e.g. check-pe.sh build/win32 "PE32 executable" "Intel 80386"
set -uo pipefail
tree=$1 format=$2 machine=$3
count=0 bad=0
while IFS= read -r -d '' exe; do
  count=$((count + 1))
  kind=$(file -b "$exe")
  if [[ "$kind" != "$format "* || "$kind" != *"$machine"* ]]; then
    echo "wrong format: $exe: $kind"
    bad=$((bad + 1))
  fi
done < <(find "$tree" -name '*.exe' -not -path '*/CMakeFiles/*' -print0)
if [ "$count" = 0 ]; then
  echo "$tree: no programs found"
  exit 1
fi
if [ "$bad" = 0 ]; then
  echo "$tree: $count programs, all $format ($machine)"
else
  echo "$tree: $bad of $count programs have the wrong format"
  exit 1
fi
