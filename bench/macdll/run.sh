#!/usr/bin/env bash
# Times our Monkey's Audio library against FFmpeg's decoder on a generated music-like stereo
# 44.1 kHz 16-bit signal, at every level: our encode, then our decode and `ffmpeg -i x.ape -f s16le`
# side by side (hyperfine when installed: mean ± standard deviation and the fastest run; else the
# median and fastest of the runs), with the ratio ours/ffmpeg of the means (medians). Also checks
# that both decoders give the source PCM. QUILLMERE_MACDLL_SIMD=plain|sse2|avx2 picks our NN kernel;
# BASELINE=folder-with-an-older-libMACDll.so adds its decode to the same hyperfine runs.
# Usage: bench/macdll/run.sh [build-folder (default build)] [runs (default 5)] [seconds (default 120)]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
runs="${2:-5}"
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

# Prints "centre spread fastest" in seconds for each command, one line each.
time_both() {
  if command -v hyperfine >/dev/null; then
    hyperfine -N -w 1 -r "$runs" --export-json "$work/times.json" "$@" >/dev/null 2>&1 ||
      { echo "failed: $*" >&2; exit 1; }
    /usr/bin/python3 -c 'import json, sys
for r in json.load(open(sys.argv[1]))["results"]:
    print(r["mean"], r["stddev"] or 0, r["min"])' "$work/times.json"
  else
    local cmd
    for cmd in "$@"; do
      local t=()
      for _ in $(seq "$runs"); do t+=("$(seconds $cmd)"); done
      echo "$(printf '%s\n' "${t[@]}" | median) 0 $(printf '%s\n' "${t[@]}" | sort -n | head -1)"
    done
  fi
}

want=$(md5sum <"$work/source.raw" | cut -d' ' -f1)
if command -v hyperfine >/dev/null; then how="hyperfine, mean ± sd of $runs runs"; else how="median of $runs runs"; fi
echo "$how; $length s stereo 44.1 kHz 16-bit; NN kernel ${QUILLMERE_MACDLL_SIMD:-best}; $(nproc) cores"
for level in 1000 2000 3000 4000 5000; do
  rm -f "$work/x.ape"
  enc=$(seconds "$bench" encode "$work/source.raw" "$work/x.ape" "$level" 44100 16 2)
  baseline=()
  [ -n "${BASELINE:-}" ] && baseline=("env LD_LIBRARY_PATH=$BASELINE $bench decode $work/x.ape $work/old.raw")
  mapfile -t t < <(time_both "$bench decode $work/x.ape $work/ours.raw" \
    "ffmpeg -v error -y -i $work/x.ape -f s16le $work/ffmpeg.raw" "${baseline[@]}")
  read -r ours oursd oursmin <<<"${t[0]}"
  read -r ff ffsd ffmin <<<"${t[1]}"
  [ "$(md5sum <"$work/ours.raw" | cut -d' ' -f1)" = "$want" ] || echo "level $level: our decode differs"
  [ "$(md5sum <"$work/ffmpeg.raw" | cut -d' ' -f1)" = "$want" ] || echo "level $level: ffmpeg decode differs"
  printf 'level %s  decode %.3f ± %.3f s (fastest %.3f)  ffmpeg %.3f ± %.3f s (fastest %.3f)  ours/ffmpeg %.2f (fastest %.2f)  encode %.3f s  size %s\n' \
    "$level" "$ours" "$oursd" "$oursmin" "$ff" "$ffsd" "$ffmin" \
    "$(awk -v a="$ours" -v b="$ff" 'BEGIN {print a / b}')" \
    "$(awk -v a="$oursmin" -v b="$ffmin" 'BEGIN {print a / b}')" "$enc" "$(stat -c %s "$work/x.ape")"
  if [ -n "${BASELINE:-}" ]; then
    read -r old oldsd oldmin <<<"${t[2]}"
    printf '            baseline %.3f ± %.3f s (fastest %.3f)  baseline/ffmpeg %.2f\n' "$old" "$oldsd" \
      "$oldmin" "$(awk -v a="$old" -v b="$ff" 'BEGIN {print a / b}')"
  fi
done
