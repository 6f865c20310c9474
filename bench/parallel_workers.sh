#!/usr/bin/env bash
# One "tarnwell /d" process with /j=2 against /j=1 on 40 files, each run `repeats` times in
# alternation so that load from elsewhere hits both alike. Prints the wall time, the speed-up
# (time of /j=1 / time of /j=2) and the peak resident memory of each run (/usr/bin/time -v).
# Every run must write all 40 PDFs.
#
# The files are 20 copies of each bundled sample (a two-page Group 4 TIFF and a short raw Group 3
# stream), or, given the path of make_bench_faxes (built with the benchmarks), 20 copies each of
# its ten-page Group 4 TIFF and ten-page raw Group 3 stream. The samples take a few milliseconds
# each, so their runs mostly measure the program's start; the ten-page files measure the work.
#
# Run: bench/parallel_workers.sh [path-to-tarnwell] [repeats] [jobs] [path-to-make_bench_faxes]
#      (default build/tarnwell, 5, 2, the samples)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prog=$(realpath "${1:-$root/build/tarnwell}")
repeats=${2:-5}
jobs=${3:-2}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/in" "$tmp/work"
tiff="$root/samples/letter.tif"
raw="$root/samples/memo.g3"
if [ -n "${4:-}" ]; then
  mkdir -p "$tmp/made"
  "$4" "$tmp/made" >/dev/null
  tiff="$tmp/made/g4_10.tif"
  raw="$tmp/made/g3_10.g3"
fi
for i in $(seq 0 19); do
  cp "$tiff" "$tmp/in/letter$i.tif"
  cp "$raw" "$tmp/in/memo$i.g3"
done

run() {  # $1 = workers; prints "seconds peak-kB"
  rm -rf "$tmp/out"
  # The clock is read here, to the millisecond; /usr/bin/time gives the peak memory.
  local start end
  start=$(date +%s.%N)
  TARNWELL_WORKDIR="$tmp/work" /usr/bin/time -f '%M' -o "$tmp/time.txt" \
    "$prog" /q "/j=$1" /d "$tmp/in" "$tmp/out" >/dev/null
  end=$(date +%s.%N)
  local n
  n=$(find "$tmp/out" -name '*.pdf' | wc -l)
  if [ "$n" -ne 40 ]; then
    echo "only $n of 40 PDFs written" >&2
    exit 1
  fi
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }') $(cat "$tmp/time.txt")"
}

echo "cores: $(nproc); load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for r in $(seq 1 "$repeats"); do
  read -r t1 m1 < <(run 1)
  read -r t2 m2 < <(run "$jobs")
  awk -v r="$r" -v a="$t1" -v b="$t2" -v ma="$m1" -v mb="$m2" -v j="$jobs" 'BEGIN {
    printf "run %d: /j=1 %.3f s %.1f MB, /j=%d %.3f s %.1f MB, speed-up %.2f\n",
           r, a, ma / 1024, j, b, mb / 1024, (b > 0 ? a / b : 0) }'
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
