#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for FUZZ_SECONDS seconds each,
# starting from the committed seed corpus. A finding fails the run and
# leaves its crash file in the target's work folder.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-60}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in "$build"/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  work="$build/$name.work"
  mkdir -p "$work/corpus"
  dirs=("$work/corpus")
  [ -d "$here/corpus/$name" ] && dirs+=("$here/corpus/$name")
  echo "fuzz: $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -max_len=262144 -rss_limit_mb=1024 -timeout=10 \
      -artifact_prefix="$work/" "${dirs[@]}" >"$work/log.txt" 2>&1; then
    echo "fuzz: $name FOUND A PROBLEM (see $work/log.txt)"
    tail -n 40 "$work/log.txt"
    status=1
  else
    tail -n 1 "$work/log.txt"
  fi
done
exit $status
