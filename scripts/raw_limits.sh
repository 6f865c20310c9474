#!/bin/sh
# Time and peak memory of the program on degenerate raw fax inputs of up to 1 MB, measured with
# /usr/bin/time -v. The goal: every input converts or fails in under 2 s with a peak resident
# size under 64 MB.
#
# Usage: scripts/raw_limits.sh [path/to/tarnwell]    (default: build/tarnwell)
set -eu
program=$(realpath "${1:-build/tarnwell}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT INT TERM

python3 - "$work" <<'PY'
import os, random, sys
work = sys.argv[1]

def bits_to_bytes(bits):
    bits += "0" * (-len(bits) % 8)
    return bytes(int(bits[i:i + 8], 2) for i in range(0, len(bits), 8))

def write(name, data):
    with open(os.path.join(work, name), "wb") as f:
        f.write(data)

write("ff300k.raw", b"\xff" * (300 * 1024))
write("ff1m.raw", b"\xff" * (1024 * 1024))
write("zero1m.raw", b"\x00" * (1024 * 1024))
random.seed(7)
write("noise1m.raw", bytes(random.getrandbits(8) for _ in range(1024 * 1024)))
# Group 4 rows at 1728 pixels, highest bit first: a black tail (VL3, V0) against a blank row,
# a blank row (pass) against it; then every 1 bit is another blank row.
black = "00000101" + "0001"
write("g4tail1m.raw", bits_to_bytes(black * 100) + b"\xff" * (1024 * 1024))
# The same as many runs, each begun by an EOL that resets the reference row.
run = "000000000001" + black * 30 + "1" * 5000
data = bits_to_bytes(run * (8 * 1024 * 1024 // len(run)))
write("g4runs1m.raw", data[:1024 * 1024])
# Group 3 one-dimensional blank rows of 1728 pixels (white 1728, white 0, EOL).
write("g3blank1m.raw", bits_to_bytes(("010011011" + "00110101" + "000000000001") * 289000)[:1024 * 1024])
PY

printf '%-14s %-8s %-9s %10s %12s  %s\n' input options exit seconds "peak KB" report
for input in ff300k ff1m zero1m noise1m g4tail1m g4runs1m g3blank1m; do
  for options in /raw -; do
    opt=$options
    [ "$opt" = - ] && opt=
    rm -f "$work/out.pdf"
    set +e
    TMPDIR="$work" /usr/bin/time -v -o "$work/time.txt" \
      env -u DISPLAY -u WAYLAND_DISPLAY "$program" /f $opt "$work/$input.raw" "$work/out.pdf" \
      >"$work/report.txt" 2>&1
    status=$?
    set -e
    seconds=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$work/time.txt")
    peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$work/time.txt")
    report=$(grep -o ' - Not Fax\|Success !\| - Error[^\r]*\|Error in converting to pdf' "$work/report.txt" | head -1)
    printf '%-14s %-8s %-9s %10s %12s  %s\n' "$input" "$options" "$status" "$seconds" "$peak" "$report"
  done
done
