#!/usr/bin/env bash
# Converts the bundled samples and every TIFF file of ../shared/corpus (when present) one by one
# with build/tarnwell and prints "sha256  name" for each PDF (or "no-pdf  name"). Run it before
# and after a change that must not alter output, and compare the two listings.
#   usage: scripts/pdf_hashes.sh [program]   (default build/tarnwell)
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/tarnwell}")"
corpus="../shared/corpus"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

inputs=(samples/*)
if [ -d "$corpus" ]; then
  while IFS= read -r f; do inputs+=("$f"); done < <(find "$corpus" -type f \( -iname '*.tif' -o -iname '*.tiff' \) | sort)
fi
for f in "${inputs[@]}"; do
  name="${f#../shared/}"
  # The input is converted from a copy whose name has no blanks, so the result does not depend
  # on how the command line treats blanks inside a path.
  flat="$(echo "$name" | tr '/ ' '__')"
  cp "$f" "$out/$flat"
  pdf="$out/$flat.pdf"
  "$program" /q /f "$out/$flat" "$pdf" >/dev/null 2>&1 || true
  if [ -f "$pdf" ]; then
    # The PDF carries the time of the run in its dates: blank them so that runs compare.
    sed -E 's/\(D:[0-9]{14}\)/(D:00000000000000)/g' "$pdf" > "$pdf.blank"
    echo "$(sha256sum "$pdf.blank" | cut -d' ' -f1)  $name"
  else
    echo "no-pdf  $name"
  fi
done
