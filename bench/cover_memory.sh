#!/usr/bin/env bash
# Peak resident memory of converting a one-second FLAC that holds a 15 MiB front cover, to each
# tagged target, beside the same file without the cover. Run after a build: bench/cover_memory.sh
set -euo pipefail
source "$(dirname "$0")/common.sh"
sox -n -r 44100 -c 2 -b 16 "$work/song.wav" synth 1 sine 440 2>/dev/null
flac -s "$work/song.wav" -o "$work/plain.flac"
cp "$work/plain.flac" "$work/cover.flac"
{ printf '\xff\xd8\xff\xe0'; head -c 15728000 /dev/urandom; } > "$work/cover.jpg"
metaflac --import-picture-from="3|image/jpeg|||$work/cover.jpg" "$work/cover.flac"
peak() { /usr/bin/time -f %M "$cli" -q --to "$1" --out "$work/out-$1-$2" "$work/$2.flac" 2>&1 >/dev/null | tail -1; }
printf '%-6s %14s %14s\n' target "no cover (MB)" "15 MiB (MB)"
for target in flac ogg mp3 ape wv wma wav; do
  printf '%-6s %14.1f %14.1f\n' "$target" "$(echo "$(peak "$target" plain) / 1024" | bc -l)" \
    "$(echo "$(peak "$target" cover) / 1024" | bc -l)"
done
