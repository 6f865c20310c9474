#!/bin/sh
# Time, peak memory, working files and PDF size of the program on the test kit's hostile inputs
# (small files that declare far more than they hold), one `tarnwell /f` run each. Peak memory
# comes from /usr/bin/time -v; the working files are the largest total size of the files in the
# run's temporary directory, polled every 10 ms while it runs.
# The goal: under 2 s and 128 MB resident, working files under max(64 MB, 16 x input), a PDF
# under max(1 MB, 100 x input).
#
# Usage: scripts/hostile_limits.sh [build directory [program]]
#        (default: build, which must hold the targets tarnwell_write_hostile and, unless another
#        program is named, tarnwell)
set -eu
build=$(realpath "${1:-build}")
program=$(realpath "${2:-$build/tarnwell}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM
mkdir "$work/in" "$work/tmp"
"$build/tarnwell_write_hostile" "$work/in"

printf '%-22s %9s %5s %7s %9s %11s %10s  %s\n' input bytes exit seconds "peak KB" "work KB" "pdf KB" report
for input in "$work"/in/*; do
  name=$(basename "$input")
  rm -rf "$work/out.pdf" "$work/tmp"/* "$work/max"
  echo 0 >"$work/max"
  TMPDIR="$work/tmp" XDG_STATE_HOME="$work/state" /usr/bin/time -v -o "$work/time.txt" \
    env -u DISPLAY -u WAYLAND_DISPLAY "$program" /f "$input" "$work/out.pdf" \
    >"$work/report.txt" 2>"$work/err.txt" &
  pid=$!
  max=0
  while kill -0 "$pid" 2>/dev/null; do
    now=$(du -sk "$work/tmp" 2>/dev/null | cut -f1)
    [ "${now:-0}" -gt "$max" ] && max=$now
    sleep 0.01
  done
  set +e
  wait "$pid"
  status=$?
  set -e
  seconds=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/time.txt")
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
  pdf=0
  [ -f "$work/out.pdf" ] && pdf=$(( $(stat -c %s "$work/out.pdf") / 1024 ))
  report=$(grep -ho ' - Not Fax\|Success !\| - Error Fax\| - Error in prearing to pdf conversion\|Error in converting to pdf' \
    "$work/report.txt" 2>/dev/null | head -1 | tr -d '\r')
  printf '%-22s %9s %5s %7s %9s %11s %10s  %s\n' "$name" "$(stat -c %s "$input")" "$status" \
    "$seconds" "$peak" "$max" "$pdf" "$report"
  sed 's/^/    stderr: /' "$work/err.txt" | grep -v 'Command exited' | head -3
done
