#!/usr/bin/env bash
# The time reading an output back adds: each target at level 5 on a generated 2-minute stereo
# 44.1 kHz WAV, converted with --no-verify and with --verify, several runs each; prints the
# median of each and the difference. Run after a build: bench/verify.sh [runs]
set -euo pipefail
. "$(dirname "$0")/common.sh"
runs="${1:-5}"
src="$work/source.wav"
sox -n -r 44100 -c 2 -b 16 "$src" synth 120 pinknoise vol 0.5 2>/dev/null

echo "median of $runs runs, 2-minute stereo 44.1 kHz 16-bit source, level 5"
printf '%-6s %10s %10s %10s %8s\n' target plain verified added share
for fmt in wav flac ape wv mp3 ogg wma; do
  plain=() verified=()
  for _ in $(seq "$runs"); do
    rm -rf "$work/out"
    plain+=("$(seconds "$cli" --to "$fmt" --no-verify --out "$work/out" "$src")")
    rm -rf "$work/out"
    verified+=("$(seconds "$cli" --to "$fmt" --verify --out "$work/out" "$src")")
  done
  p=$(printf '%s\n' "${plain[@]}" | median)
  v=$(printf '%s\n' "${verified[@]}" | median)
  printf '%-6s %9.3fs %9.3fs %9.3fs %7.0f%%\n' "$fmt" "$p" "$v" "$(echo "$v - $p" | bc -l)" \
    "$(echo "($v - $p) * 100 / $v" | bc -l)"
done
