#!/usr/bin/env bash
# Fails when a C++ file of the project is not formatted as the root .clang-format says, with the
# clang-format that Debian installs. Lists the files that are not. Usage: check-format.sh
set -uo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
unformatted=()
for file in "${files[@]}"; do
  if ! clang-format --style=file --dry-run --Werror "$file" >/dev/null 2>&1; then
    unformatted+=("$file")
  fi
done
if [ ${#unformatted[@]} -gt 0 ]; then
  printf 'not formatted: %s\n' "${unformatted[@]}"
  echo "format: ${#unformatted[@]} of ${#files[@]} files not formatted (run clang-format -i on them)"
  exit 1
fi
echo "format: ${#files[@]} files, all formatted"
