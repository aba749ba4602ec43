#!/usr/bin/env bash
# Times our Monkey's Audio library against FFmpeg's decoder on a generated music-like stereo
# 44.1 kHz 16-bit signal, at every level: our encode, then our decode and `ffmpeg -i x.ape -f s16le`
# side by side, run after run in turn (interleaved.py), so that load from other work on the machine
# falls on both alike: median and fastest wall-clock and CPU times, and the ratios ours/ffmpeg.
# Also checks that both decoders give the source PCM. QUILLMERE_MACDLL_SIMD=plain|sse2|avx2 picks
# our NN kernel; BASELINE=folder-with-an-older-libMACDll.so adds its decode to the same runs.
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

seconds() {
  local s e
  s=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  e=$(date +%s.%N)
  awk -v s="$s" -v e="$e" 'BEGIN {print e - s}'
}

want=$(md5sum <"$work/source.raw" | cut -d' ' -f1)
echo "$runs interleaved runs, median (fastest); $length s stereo 44.1 kHz 16-bit;" \
  "NN kernel ${QUILLMERE_MACDLL_SIMD:-best}; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
for level in 1000 2000 3000 4000 5000; do
  rm -f "$work/x.ape"
  enc=$(seconds "$bench" encode "$work/source.raw" "$work/x.ape" "$level" 44100 16 2)
  baseline=()
  [ -n "${BASELINE:-}" ] && baseline=("env LD_LIBRARY_PATH=$BASELINE $bench decode $work/x.ape $work/old.raw")
  mapfile -t t < <("$root/bench/macdll/interleaved.py" "$runs" "$bench decode $work/x.ape $work/ours.raw" \
    "ffmpeg -v error -y -i $work/x.ape -f s16le $work/ffmpeg.raw" "${baseline[@]}")
  [ "${#t[@]}" -ge 2 ] || { echo "level $level: timing failed" >&2; exit 1; }
  read -r ours oursmin ourscpu ourscpumin <<<"${t[0]}"
  read -r ff ffmin ffcpu ffcpumin <<<"${t[1]}"
  [ "$(md5sum <"$work/ours.raw" | cut -d' ' -f1)" = "$want" ] || echo "level $level: our decode differs"
  [ "$(md5sum <"$work/ffmpeg.raw" | cut -d' ' -f1)" = "$want" ] || echo "level $level: ffmpeg decode differs"
  ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
  printf 'level %s  wall: ours %.3f (%.3f) s  ffmpeg %.3f (%.3f) s  ratio %s (%s)   cpu: ours %.3f ffmpeg %.3f ratio %s   encode %.3f s\n' \
    "$level" "$ours" "$oursmin" "$ff" "$ffmin" "$(ratio "$ours" "$ff")" "$(ratio "$oursmin" "$ffmin")" \
    "$ourscpu" "$ffcpu" "$(ratio "$ourscpu" "$ffcpu")" "$enc"
  if [ -n "${BASELINE:-}" ]; then
    read -r old oldmin oldcpu oldcpumin <<<"${t[2]}"
    printf '            baseline wall %.3f (%.3f) s  ratio %s (%s)   cpu %.3f ratio %s\n' "$old" "$oldmin" \
      "$(ratio "$old" "$ff")" "$(ratio "$oldmin" "$ffmin")" "$oldcpu" "$(ratio "$oldcpu" "$ffcpu")"
  fi
done
