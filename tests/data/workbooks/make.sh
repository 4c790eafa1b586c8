#!/usr/bin/env bash
# How the workbooks here were made, once, from the files in sources/: LibreOffice Calc 7.4 and
# Gnumeric 1.12 as Debian 12 ships them (libreoffice-calc-nogui, gnumeric), not part of the build.
# Calc converts the CSV file (UTF-8, comma) and the flat OpenDocument files; Gnumeric reads the CSV
# file and Calc's .ods files.
set -euo pipefail
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp sources/* "$work"
(
  cd "$work"
  export HOME=$work/home
  for ext in xlsx ods; do
    soffice --headless --infilter="CSV:44,34,76,1" --convert-to $ext kontakte.csv >/dev/null
    for f in zahlen versteckt versetzt; do soffice --headless --convert-to $ext $f.fods >/dev/null; done
  done
  for f in kontakte zahlen versteckt versetzt; do
    mv $f.xlsx $f-calc.xlsx
    mv $f.ods $f-calc.ods
  done
  for ext in xlsx ods; do
    ssconvert kontakte.csv kontakte-gnumeric.$ext 2>/dev/null
    for f in zahlen versteckt versetzt; do ssconvert $f-calc.ods $f-gnumeric.$ext 2>/dev/null; done
  done
)
cp "$work"/*-calc.* "$work"/*-gnumeric.* .
