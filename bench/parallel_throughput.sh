#!/usr/bin/env bash
# Throughput of two conversion processes side by side against one, on 200 files (100 copies of
# each bundled sample: a two-page Group 4 TIFF and a raw Group 3 stream). Two ways of sharing
# the work are timed, each run `repeats` times in alternation so that load from elsewhere hits
# both alike:
#   jobs: scripts/tarnwell-job.sh through xargs -P 1 and -P 2, 10 files per job, one process
#         per file, each job with its own TARNWELL_WORKDIR;
#   dirs: one "tarnwell /d" over all 200 files against two over 100 each, with their own
#         TARNWELL_WORKDIR.
# Every run must produce all 200 PDFs. Prints each time and each speed-up (time of 1 / time of 2).
#
# Run: bench/parallel_throughput.sh [path-to-tarnwell] [repeats]   (default build/tarnwell, 3)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
prog=$(realpath "${1:-$root/build/tarnwell}")
repeats=${2:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/in/a" "$tmp/in/b" "$tmp/w1" "$tmp/w2"
for i in $(seq 0 49); do
  for half in a b; do
    cp "$root/samples/letter.tif" "$tmp/in/$half/letter$i.tif"
    cp "$root/samples/memo.g3" "$tmp/in/$half/memo$i.g3"
  done
done

now() { date +%s.%N; }
check() {
  local n
  n=$(find "$tmp/out" -name '*.pdf' | wc -l)
  if [ "$n" -ne 200 ]; then
    echo "only $n of 200 PDFs written" >&2
    exit 1
  fi
}
by_jobs() {  # $1 = processes side by side
  rm -rf "$tmp/out" && mkdir "$tmp/out"
  local start end
  start=$(now)
  (cd "$tmp/in" && find . -type f | sort |
     TARNWELL="$prog" xargs -n 10 -P "$1" "$root/scripts/tarnwell-job.sh" "$tmp/out")
  end=$(now)
  check
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}
by_dirs() {  # $1 = processes side by side
  rm -rf "$tmp/out" && mkdir "$tmp/out"
  local start end
  start=$(now)
  if [ "$1" -eq 1 ]; then
    TARNWELL_WORKDIR="$tmp/w1" "$prog" /q /d /i /kh "$tmp/in" "$tmp/out" >/dev/null || true
  else
    TARNWELL_WORKDIR="$tmp/w1" "$prog" /q /d "$tmp/in/a" "$tmp/out/a" >/dev/null &
    local first=$!
    TARNWELL_WORKDIR="$tmp/w2" "$prog" /q /d "$tmp/in/b" "$tmp/out/b" >/dev/null || true
    wait "$first" || true
  fi
  end=$(now)
  check
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

echo "cores: $(nproc); load before: $(cut -d' ' -f1-3 /proc/loadavg)"
for way in jobs dirs; do
  for r in $(seq 1 "$repeats"); do
    one=$("by_$way" 1)
    two=$("by_$way" 2)
    awk -v w="$way" -v r="$r" -v a="$one" -v b="$two" \
      'BEGIN { printf "%s run %d: 1 process %.3f s, 2 processes %.3f s, speed-up %.2f\n", w, r, a, b, a / b }'
  done
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
