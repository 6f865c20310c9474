#!/usr/bin/env bash
# Fuzz campaign: builds the libFuzzer targets with clang in build-fuzz, runs each for MINUTES
# minutes on its seeds and dictionary under 256 MB memory caps, and prints a table per target.
# New corpus entries and findings stay outside the repository, in build-fuzz/corpus-work/<target>
# and build-fuzz/findings/<target>.
#
# Usage: scripts/fuzz.sh MINUTES [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

if [ $# -lt 1 ] || ! [[ "$1" =~ ^[0-9]+([.][0-9]+)?$ ]]; then
  echo "usage: $0 MINUTES [TARGET...]" >&2
  exit 2
fi
minutes="$1"
shift
seconds="$(awk -v m="$minutes" 'BEGIN { printf "%d", m * 60 }')"

# Campaigns may run side by side (one per core); the first to come builds, the others wait.
mkdir -p build-fuzz
(
  flock 9
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DTARNWELL_FUZZ=ON -DTARNWELL_TESTS=OFF \
    -DTARNWELL_UI=OFF >/dev/null
  cmake --build build-fuzz -j "${FUZZ_JOBS:-2}" >/dev/null
) 9>build-fuzz/.build-lock

targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for src in fuzz/*.cpp; do targets+=("$(basename "$src" .cpp)"); done
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"

rows=()
for name in "${targets[@]}"; do
  binary="build-fuzz/fuzz/$name"
  if [ ! -x "$binary" ]; then
    echo "no such target: $name" >&2
    exit 2
  fi
  work="build-fuzz/corpus-work/$name"
  findings="build-fuzz/findings/$name"
  log="build-fuzz/findings/$name.log"
  mkdir -p "$work" "$findings"
  # Findings of earlier campaigns stay in the same place; only this run's are counted.
  started="$findings/.started"
  touch "$started"
  args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=256 -malloc_limit_mb=256 -print_final_stats=1
        -artifact_prefix="$findings/")
  if [ -f "fuzz/dict/$name.dict" ]; then args+=("-dict=fuzz/dict/$name.dict"); fi
  if [ "$name" = fuzz_raw_analysis ]; then args+=(-max_len=1048576); fi
  seeds=()
  if [ -d "fuzz/corpus/$name" ]; then seeds=("fuzz/corpus/$name"); fi
  echo "-- $name: $minutes min" >&2
  # A crash ends the run early; -fork would continue, but one finding per run is enough to act on.
  "$binary" "${args[@]}" "$work" "${seeds[@]}" >"$log" 2>&1 || true
  execs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  rate="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  rss="$(sed -n 's/^stat::peak_rss_mb: *//p' "$log" | tail -1)"
  found="$(find "$findings" -maxdepth 1 -type f -newer "$started" \
             \( -name 'crash-*' -o -name 'leak-*' -o -name 'oom-*' -o -name 'timeout-*' \
                -o -name 'slow-unit-*' \) | wc -l)"
  rows+=("$(printf '%-22s %12s %10s %10s %9s' "$name" "${execs:-?}" "${rate:-?}" \
             "${rss:-?}" "$found")")
done

printf '%-22s %12s %10s %10s %9s\n' target inputs "inputs/s" "peak MB" findings
for row in "${rows[@]}"; do echo "$row"; done
echo "findings and logs: build-fuzz/findings/<target>/, corpus: build-fuzz/corpus-work/<target>/"
