#!/usr/bin/env bash
# quillmere-cli given a folder of many tiny WAVs: the resident memory while the run goes on,
# sampled each second beside the number of outputs written. It stays flat as files finish.
# Run after a build: bench/many_files.sh [files]
set -euo pipefail
. "$(dirname "$0")/common.sh"
count="${1:-100000}"
mkdir -p "$work/src"
sox -n -r 8000 -c 1 -b 16 "$work/t.wav" synth 0.01 sine 300 2>/dev/null
for i in $(seq 1 "$count"); do cp "$work/t.wav" "$work/src/$i.wav"; done
"$cli" --to wav --jobs "$(nproc)" --quiet --out "$work/out" "$work/src" &
pid=$!
while kill -0 "$pid" 2>/dev/null; do
  sleep 1
  rss=$(awk '/VmRSS/ {print $2 " kB"}' "/proc/$pid/status" 2>/dev/null || true)
  [ -n "$rss" ] && echo "$(find "$work/out" -maxdepth 1 -type f | wc -l) done, resident $rss"
done
wait "$pid"
