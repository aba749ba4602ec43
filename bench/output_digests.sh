#!/usr/bin/env bash
# Prints a digest of every output quillmere-cli writes from the same generated sources: each
# target at levels 1, 5 and 10, from a 16-bit stereo and a 24-bit mono WAV, and the WAVs
# converted back from every lossless output. Two builds give the same listing when they write
# the same bytes. Ogg Vorbis (a random stream serial) and WMA (a random file id and creation
# time) are digested by their decoded audio and size instead of their bytes.
#   bench/output_digests.sh [path/to/quillmere-cli] > digests.txt
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cli="${1:-$here/build/bin/quillmere-cli}"
[ -x "$cli" ] || { echo "build first (./test.sh or ./run.sh)" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
sox -R -n -r 44100 -c 2 -b 16 "$work/src/stereo16.wav" synth 20 sine 440 pinknoise vol 0.4 2>/dev/null
sox -R -n -r 48000 -c 1 -b 24 "$work/src/mono24.wav" synth 12 pluck C3 vol 0.5 2>/dev/null

digest() { # file
  case "$1" in
  *.ogg | *.wma)
    echo "$(ffmpeg -v error -i "$1" -f s16le - | md5sum | cut -d' ' -f1) audio, $(stat -c %s "$1") bytes" ;;
  *) md5sum <"$1" | cut -d' ' -f1 ;;
  esac
}

for fmt in flac ape mp3 ogg wav wv wma; do
  for level in 1 5 10; do
    out="$work/out-$fmt-$level"
    mkdir -p "$out"
    "$cli" --to "$fmt" --level "$level" --out "$out" "$work"/src/*.wav >/dev/null
    for file in "$out"/*; do
      echo "$fmt level $level $(basename "$file"): $(digest "$file")"
      case "$fmt" in
      flac | ape | wv)
        back="$work/back-$fmt-$level"
        mkdir -p "$back"
        "$cli" --to wav --out "$back" "$file" >/dev/null
        echo "  back to wav: $(digest "$back"/*)"
        rm -rf "$back" ;;
      esac
    done
  done
done
