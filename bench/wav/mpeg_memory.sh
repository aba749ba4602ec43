#!/usr/bin/env bash
# Converts a generated 60-minute MPEG-in-WAVE file (stereo, 44.1 kHz, 128 kbit/s) to FLAC with
# quillmere-cli under /usr/bin/time -v and prints the wall time and the peak memory, which must
# stay under 100 MB: the compressed payload is converted as it is read, never held whole.
# Usage: bench/wav/mpeg_memory.sh [build-folder (default build)] [minutes (default 60)]
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
minutes="${2:-60}"
cli="$build/bin/quillmere-cli"
[ -x "$cli" ] || { echo "build quillmere-cli first"; exit 1; }
[ -x /usr/bin/time ] || { echo "needs /usr/bin/time (Debian package time)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# Ten seconds encoded once, their MPEG frames repeated by a stream copy.
sox -V1 -n -r 44100 -c 2 -b 16 "$work/ten.wav" synth 10 pinknoise vol 0.5
ffmpeg -v error -i "$work/ten.wav" -c:a libmp3lame -b:a 128k -f wav "$work/ten_mp3.wav"
ffmpeg -v error -stream_loop $((minutes * 6 - 1)) -i "$work/ten_mp3.wav" -c copy -f wav \
  "$work/long.wav"
mkdir -p "$work/out"
/usr/bin/time -v "$cli" --to flac --out "$work/out" "$work/long.wav" 2>"$work/time.txt" |
  sed 's|'"$work"'/||g'
peak=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {print $2}' "$work/time.txt")
printf '%s-minute MPEG-in-WAVE -> FLAC: wall %s, peak %d MB (limit 100 MB)\n' \
  "$minutes" "$wall" $((peak / 1024))
[ "$peak" -lt $((100 * 1024)) ]
