#!/bin/sh
# Converts fax files with a working directory of its own, so that any number of these jobs run
# side by side: several on one machine (xargs -P, GNU parallel) or on several machines.
#
#   tarnwell-job.sh OUTPUT-DIRECTORY FILE...
#
# Each FILE, a path relative to the current directory, becomes OUTPUT-DIRECTORY/FILE with its
# extension replaced by ".pdf" (subdirectories are created). TARNWELL names the program (default:
# tarnwell on PATH). The exit status is 1 when any file failed. Paths must not contain blanks.
set -u
if [ $# -lt 1 ]; then
  echo "usage: tarnwell-job.sh OUTPUT-DIRECTORY FILE..." >&2
  exit 2
fi
out=$1
shift
work=$(mktemp -d "${TMPDIR:-/tmp}/tarnwell-job.XXXXXX") || exit 1
trap 'rm -rf "$work"' EXIT
trap 'exit 1' INT TERM
TARNWELL_WORKDIR=$work
export TARNWELL_WORKDIR
status=0
for f in "$@"; do
  rel=${f#./}
  case ${rel##*/} in
    *.*) stem=${rel%.*} ;;
    *) stem=$rel ;;
  esac
  "${TARNWELL:-tarnwell}" /q /f "$f" "$out/$stem.pdf" || status=1
done
exit $status
