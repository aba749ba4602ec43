#!/usr/bin/env bash
# 200 files of 10 s each to MP3 and to FLAC: the wizard with one file per core at once, the CLI
# with --jobs at the same count, and both one at a time; prints the seconds and the throughput
# ratios. Run after a build: bench/wizard/run.sh [files] [seconds]
set -euo pipefail
here="$(cd "$(dirname "$0")/../.." && pwd)"
cli="$here/build/bin/quillmere-cli"
bench="$here/build/bin/quillmere_wizard_bench"
[ -x "$cli" ] && [ -x "$bench" ] || { echo "build first (./test.sh or ./run.sh)"; exit 1; }
count="${1:-200}" length="${2:-10}"
cores="$(nproc)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_RUNTIME_DIR="$work/run"
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$work/src"
chmod 700 "$XDG_RUNTIME_DIR"
sox -n -r 44100 -c 2 -b 16 "$work/one.wav" synth "$length" pinknoise vol 0.5 2>/dev/null
for i in $(seq -w 1 "$count"); do cp "$work/one.wav" "$work/src/$i.wav"; done

seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }

echo "$count files of $length s, $cores cores"
printf '%-6s %12s %12s %12s %12s %10s %10s\n' target "wizard x$cores" "cli -j$cores" "wizard x1" "cli -j1" "wiz/cli" "wiz/x1"
for pair in mp3:2 flac:0; do
  fmt="${pair%%:*}" row="${pair##*:}"
  rm -rf "$work/out"; mkdir -p "$work/out"
  wn=$("$bench" "$row" "$cores" "$work/out" "$work"/src/*.wav)
  rm -rf "$work/out"; mkdir -p "$work/out"
  cn=$(seconds "$cli" --to "$fmt" --jobs "$cores" --out "$work/out" "$work"/src/*.wav)
  rm -rf "$work/out"; mkdir -p "$work/out"
  w1=$("$bench" "$row" 1 "$work/out" "$work"/src/*.wav)
  rm -rf "$work/out"; mkdir -p "$work/out"
  c1=$(seconds "$cli" --to "$fmt" --jobs 1 --out "$work/out" "$work"/src/*.wav)
  printf '%-6s %11.2fs %11.2fs %11.2fs %11.2fs %10.2f %10.2f\n' "$fmt" "$wn" "$cn" "$w1" "$c1" \
    "$(echo "$cn / $wn" | bc -l)" "$(echo "$w1 / $wn" | bc -l)"
done
