#!/usr/bin/env bash
# Peak resident memory (/usr/bin/time -v, "Maximum resident set size") of converting a Group 4
# TIFF and a raw Group 3 stream of 1728 x 2200 text-like pages, at 10 and at 100 pages, so that
# growth with the page count shows, and of a DCX of 20 such pages. The files come from
# make_bench_faxes (libtiff codes the fax pages).
#
# Run: bench/peak_memory.sh [build-directory]   (default build-bench, configured with
#      -DTARNWELL_BENCH=ON; needs its tarnwell and bench/make_bench_faxes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath "${1:-$root/build-bench}")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir "$tmp/work" "$tmp/out"
"$build/bench/make_bench_faxes" "$tmp"

for file in g4_10.tif g4_100.tif g3_10.g3 g3_100.g3 dcx_20.dcx; do
  TARNWELL_WORKDIR="$tmp/work" /usr/bin/time -v "$build/tarnwell" /q /f "$tmp/$file" \
    "$tmp/out/$file.pdf" >/dev/null 2>"$tmp/time.txt" || true
  kb=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$tmp/time.txt")
  pages=$(grep -c '/Type /Page ' "$tmp/out/$file.pdf" || true)
  printf '%-11s %4s pages in the PDF, %6.1f MB peak resident, %9d bytes of input\n' \
    "$file" "$pages" "$(awk -v k="$kb" 'BEGIN { print k / 1024 }')" "$(stat -c %s "$tmp/$file")"
done
