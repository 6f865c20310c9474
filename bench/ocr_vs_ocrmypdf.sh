#!/usr/bin/env bash
# Searchable PDFs against ocrmypdf on the same synthetic faxes: Ghostscript renders pages of
# known business-letter text (fine 204x196 and normal 204x98 dpi) into multi-page Group 4 TIFFs
# (netpbm's pamtotiff). Each fax is converted by tarnwell with /ocr, and by tarnwell without it
# followed by ocrmypdf on that PDF. Prints per fax: pages, seconds and pages per second of
# tarnwell /ocr, seconds of ocrmypdf, the time ratio, the ratio of processor seconds (user and
# system, children included: steadier than wall time on a shared machine), word recall of both
# through pdftotext, and peak memory (maximum resident set) of both.
#   usage: bench/ocr_vs_ocrmypdf.sh [program] [pages]   (default build/tarnwell, 4 pages)
set -euo pipefail
cd "$(dirname "$0")/.."
program="$(realpath "${1:-build/tarnwell}")"
pages="${2:-4}"
for tool in gs pamtotiff pdftotext ocrmypdf /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export TMPDIR="$work"

# Text of page p: lines of words drawn from a fixed vocabulary, the same on every run.
python3 - "$work" "$pages" <<'PY'
import random, sys
work, pages = sys.argv[1], int(sys.argv[2])
vocab = ("invoice payment delivery order customer account please contact office meeting Monday "
         "Friday January March October contract signature address number amount total received "
         "thank you for your letter regarding the shipment of goods from our warehouse in Hamburg "
         "London will arrive next week with copy attached kind regards manager sales department "
         "reference 4711 2026 1500 urgent reply before noon schedule report").split()
rnd = random.Random(28)
truth = []
ps = ["%!PS", "<< /PageSize [609.88 792] >> setpagedevice"]
for p in range(pages):
    size = 12 if p % 2 == 0 else 10
    ps.append(f"/Times-Roman findfont {size} scalefont setfont")
    for i in range(40):
        words = [rnd.choice(vocab) for _ in range(rnd.randint(6, 10))]
        truth += words
        ps.append(f"60 {720 - i * size * 1.6:.1f} moveto ({' '.join(words)}) show")
    ps.append("showpage")
open(f"{work}/text.ps", "w").write("\n".join(ps) + "\n")
open(f"{work}/truth.txt", "w").write(" ".join(truth) + "\n")
PY

recall() {  # recall of truth.txt's words in the text of PDF $1
  pdftotext "$1" - | python3 -c '
import collections, re, sys
norm = lambda t: [w for w in (re.sub(r"[^0-9a-z]", "", x.lower()) for x in t.split()) if w]
truth = norm(open(sys.argv[1]).read()); found = collections.Counter(norm(sys.stdin.read()))
hits = 0
for w in truth:
    if found[w] > 0: found[w] -= 1; hits += 1
print(f"{hits / len(truth):.4f}")' "$work/truth.txt"
}
measure() {  # wall seconds, processor seconds and peak kB of a command
  /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time"
}

printf '%-7s %5s %9s %8s %11s %6s %9s %8s %8s %10s %10s\n' fax pages tarnwell pages/s ocrmypdf ratio \
  cpu-ratio recall recall-p peak-kB peak-kB-p
for res in fine:196 normal:98; do
  name="${res%%:*}"; ydpi="${res##*:}"
  rows=$(( 792 * ydpi / 72 ))
  gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=pbmraw -r204x"$ydpi" -g1728x"$rows" \
    -sOutputFile="$work/$name-%03d.pbm" "$work/text.ps"
  first=1
  for pbm in "$work/$name"-*.pbm; do
    if [ "$first" = 1 ]; then
      pamtotiff -g4 -xresolution 204 -yresolution "$ydpi" -output "$work/$name.tif" "$pbm"
      first=0
    else
      pamtotiff -g4 -xresolution 204 -yresolution "$ydpi" -append -output "$work/$name.tif" "$pbm"
    fi
  done
  read -r t_ocr u_ocr s_ocr m_ocr < <(measure "$program" /q /ocr /f "$work/$name.tif" "$work/$name-ocr.pdf")
  "$program" /q /f "$work/$name.tif" "$work/$name-plain.pdf" >/dev/null 2>&1
  read -r t_peer u_peer s_peer m_peer < <(measure ocrmypdf --output-type pdf -l eng "$work/$name-plain.pdf" \
                                     "$work/$name-peer.pdf")
  python3 -c "
t, tp, n = $t_ocr, $t_peer, $pages
c, cp = $u_ocr + $s_ocr, $u_peer + $s_peer
print('%-7s %5d %8.2fs %8.2f %10.2fs %6.2f %9.2f' % ('$name', n, t, n / t, tp, t / tp, c / cp), end=' ')"
  printf '%8s %8s %10s %10s\n' "$(recall "$work/$name-ocr.pdf")" "$(recall "$work/$name-peer.pdf")" \
    "$m_ocr" "$m_peer"
done
