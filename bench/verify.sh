#!/usr/bin/env bash
# The time reading an output back adds: each target at level 5 on a generated 2-minute stereo
# 44.1 kHz WAV, converted with --no-verify and with --verify, several runs each; prints the
# median of each and the difference. Run after a build: bench/verify.sh [runs]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cli="$here/build/bin/quillmere-cli"
runs="${1:-5}"
[ -x "$cli" ] || { echo "build first (./test.sh or ./run.sh)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
src="$work/source.wav"
sox -n -r 44100 -c 2 -b 16 "$src" synth 120 pinknoise vol 0.5 2>/dev/null

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }

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
