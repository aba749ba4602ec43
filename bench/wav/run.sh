#!/usr/bin/env bash
# Reads and writes a generated 10-minute stereo 44.1 kHz 16-bit WAV with quillmere_wav_bench
# (TWaveIn -> TWaveOut through the pump) and with sox doing the same job, for PCM and for IMA
# ADPCM, and prints the median time of each and their ratio (ours / sox).
# Usage: bench/wav/run.sh [build-folder (default build)] [runs (default 3)]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
cmake --build "$build" --target quillmere_wav_bench >/dev/null
bench="$build/bin/quillmere_wav_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sox -V1 -n -r 44100 -c 2 -b 16 "$work/pcm.wav" synth 600 pinknoise vol 0.5
sox -V1 "$work/pcm.wav" -e ima-adpcm "$work/ima.wav"

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
seconds() {
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN {print e - s}'
}

# row NAME INPUT OURS-KIND SOX-OUTPUT-OPTIONS...
row() {
  local name="$1" input="$2" kind="$3"
  shift 3
  local ours=() theirs=()
  for _ in $(seq "$runs"); do
    rm -f "$work/ours.wav" "$work/sox.wav"
    ours+=("$(seconds "$bench" "$input" "$work/ours.wav" "$kind")")
    theirs+=("$(seconds sox -V1 -D "$input" "$@" "$work/sox.wav")")
  done
  local mo mt
  mo=$(printf '%s\n' "${ours[@]}" | median)
  mt=$(printf '%s\n' "${theirs[@]}" | median)
  printf '%-22s ours %7.3f s  sox %7.3f s  ratio %5.2f  size ours %s sox %s\n' "$name" "$mo" "$mt" \
    "$(awk -v a="$mo" -v b="$mt" 'BEGIN {print a / b}')" \
    "$(stat -c %s "$work/ours.wav")" "$(stat -c %s "$work/sox.wav")"
}

echo "median of $runs runs, 10-minute stereo 44.1 kHz 16-bit source"
row "PCM -> PCM" "$work/pcm.wav" pcm
row "PCM -> IMA ADPCM" "$work/pcm.wav" adpcm -e ima-adpcm
row "IMA ADPCM -> PCM" "$work/ima.wav" pcm -e signed-integer -b 16
