#!/usr/bin/env bash
# Times our Monkey's Audio library against FFmpeg's decoder on a generated music-like stereo
# 44.1 kHz 16-bit signal, at every level: our encode, our decode, `ffmpeg -i x.ape -f wav`, and
# prints the medians with the ratios ours/ffmpeg (decode) and encode/decode. Also checks that
# both decoders give the source PCM.
# Usage: bench/macdll/run.sh [build-folder (default build)] [runs (default 3)] [seconds (default 120)]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
runs="${2:-3}"
length="${3:-120}"
cmake --build "$build" --target quillmere_macdll_bench quillmere_macdll >/dev/null
bench="$build/bin/quillmere_macdll_bench"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
sox -V1 -n -r 44100 -c 2 -b 16 -e signed-integer -L -t raw "$work/source.raw" \
  synth "$length" pluck C3 pluck G3 synth "$length" sine mix 50-15000 synth "$length" pinknoise mix \
  tremolo 3 40 vol 0.8

median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
seconds() {
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN {print e - s}'
}

want=$(md5sum <"$work/source.raw" | cut -d' ' -f1)
echo "median of $runs runs, $length s stereo 44.1 kHz 16-bit"
for level in 1000 2000 3000 4000 5000; do
  enc=() dec=() ff=()
  for _ in $(seq "$runs"); do
    rm -f "$work/x.ape"
    enc+=("$(seconds "$bench" encode "$work/source.raw" "$work/x.ape" "$level" 44100 16 2)")
    dec+=("$(seconds "$bench" decode "$work/x.ape" "$work/ours.raw")")
    ff+=("$(seconds ffmpeg -v error -y -i "$work/x.ape" -f wav "$work/ffmpeg.wav")")
  done
  [ "$(md5sum <"$work/ours.raw" | cut -d' ' -f1)" = "$want" ] || echo "level $level: our decode differs"
  ffmpeg -v error -i "$work/x.ape" -f s16le - | md5sum | grep -q "$want" || echo "level $level: ffmpeg decode differs"
  me=$(printf '%s\n' "${enc[@]}" | median)
  md=$(printf '%s\n' "${dec[@]}" | median)
  mf=$(printf '%s\n' "${ff[@]}" | median)
  printf 'level %s  encode %6.3f s  decode %6.3f s  ffmpeg %6.3f s  decode/ffmpeg %4.2f  encode/decode %4.2f  size %s\n' \
    "$level" "$me" "$md" "$mf" "$(awk -v a="$md" -v b="$mf" 'BEGIN {print a / b}')" \
    "$(awk -v a="$me" -v b="$md" 'BEGIN {print a / b}')" "$(stat -c %s "$work/x.ape")"
done
