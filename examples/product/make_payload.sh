#!/bin/sh
# Writes the example product's large file, manual.bin (exactly 6 MiB), into
# the folder given as the argument. The content is deterministic text, so
# every run produces the same bytes; it is too large to keep in the
# repository and large enough to be split into two records.
set -eu
if [ $# -ne 1 ]; then
  echo "usage: $0 FOLDER" >&2
  exit 2
fi
mkdir -p "$1"
out="$1/manual.bin"
awk 'BEGIN {
  for (i = 1; i <= 140000; i++)
    printf "Lumen Notes manual, page %06d, paragraph %05d: notes are saved every %d minutes.\n", i, (i * 7919) % 100003, i % 60 + 1
}' | head -c 6291456 > "$out.tmp"
size=$(wc -c < "$out.tmp")
if [ "$size" -ne 6291456 ]; then
  echo "$0: wrote $size bytes instead of 6291456" >&2
  rm -f "$out.tmp"
  exit 1
fi
mv "$out.tmp" "$out"
echo "wrote $out (6291456 bytes)"
