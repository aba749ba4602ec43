#!/usr/bin/env bash
# Decodes a generated 10-minute stereo 44.1 kHz 16-bit TTA file with quillmere_tta_bench (through
# libTTALib.so) and with ffmpeg to raw PCM, and prints the median time of each and their ratio
# (ours / ffmpeg), after checking that both outputs are the same bytes.
# Usage: bench/ttalib/run.sh [build-folder (default build)] [runs (default 3)]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
cmake --build "$build" --target quillmere_tta_bench >/dev/null
bench="$build/bin/quillmere_tta_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sox -V1 -n -r 44100 -c 2 -b 16 "$work/source.wav" synth 600 pinknoise vol 0.5
ffmpeg -nostdin -v error -i "$work/source.wav" -c:a tta "$work/source.tta"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
seconds() {
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN {print e - s}'
}

ours=() theirs=()
for _ in $(seq "$runs"); do
  ours+=("$(seconds "$bench" "$work/source.tta" "$work/ours.raw")")
  theirs+=("$(seconds ffmpeg -nostdin -v error -y -i "$work/source.tta" -f s16le "$work/ffmpeg.raw")")
done
cmp -s "$work/ours.raw" "$work/ffmpeg.raw" || { echo "outputs differ" >&2; exit 1; }
mo=$(printf '%s\n' "${ours[@]}" | median)
mt=$(printf '%s\n' "${theirs[@]}" | median)
printf 'median of %s runs, 10-minute stereo 44.1 kHz 16-bit TTA -> raw PCM\n' "$runs"
printf 'ours %7.3f s  ffmpeg %7.3f s  ratio %5.2f\n' "$mo" "$mt" \
  "$(awk -v a="$mo" -v b="$mt" 'BEGIN {print a / b}')"
