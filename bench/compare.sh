#!/usr/bin/env bash
# Converts a generated 10-minute stereo 44.1 kHz WAV with quillmere-cli and with the reference
# command-line tool of each target at the same settings, several runs each, and prints the
# median time of each and their ratio. Run after a build: bench/compare.sh [runs]
set -euo pipefail
. "$(dirname "$0")/common.sh"
runs="${1:-5}"
src="$work/source.wav"
sox -n -r 44100 -c 2 -b 16 "$src" synth 600 pinknoise vol 0.5 2>/dev/null

# row NAME SOURCE CLI-FORMAT CLI-LEVEL OUTPUT-EXT REFERENCE-COMMAND...
# (the reference writes $work/ref.EXT; ours writes $work/out/<source name>.EXT)
row() {
  local name="$1" input="$2" fmt="$3" level="$4" ext="$5"; shift 5
  local ours=() theirs=()
  for _ in $(seq "$runs"); do
    rm -rf "$work/out" "$work/ref.$ext"; mkdir -p "$work/out"
    ours+=("$(seconds "$cli" --to "$fmt" --level "$level" --out "$work/out" "$input")")
    theirs+=("$(seconds "$@")")
  done
  local mo mt
  mo=$(printf '%s\n' "${ours[@]}" | median)
  mt=$(printf '%s\n' "${theirs[@]}" | median)
  local so st
  local base; base=$(basename "${input%.*}")
  so=$(stat -c %s "$work/out/$base$ext" 2>/dev/null || echo -)
  st=$(stat -c %s "$work/ref$ext" 2>/dev/null || echo -)
  printf '%-28s ours %7.3f s  ref %7.3f s  ratio %5.2f  size ours %s ref %s\n' \
    "$name" "$mo" "$mt" "$(echo "$mo / $mt" | bc -l)" "$so" "$st"
}

echo "median of $runs runs, 10-minute stereo 44.1 kHz 16-bit source"
have() { command -v "$1" >/dev/null 2>&1; }

row "WAV -> WAV (sox)" "$src" wav 5 .wav sox "$src" "$work/ref.wav"
if have flac; then
  row "WAV -> FLAC 7 (flac -5)" "$src" flac 7 .flac \
    flac -s -f -5 -b 4608 --no-padding --no-seektable -o "$work/ref.flac" "$src"
  flac -s -f -5 -o "$work/in.flac" "$src"
  row "FLAC -> WAV (flac -d)" "$work/in.flac" wav 5 .wav flac -d -s -f -o "$work/ref.wav" "$work/in.flac"
fi
if have oggenc; then
  row "WAV -> Ogg 5 (oggenc -q 5)" "$src" ogg 5 .ogg oggenc -Q -q 5 -o "$work/ref.ogg" "$src"
  oggenc -Q -q 5 -o "$work/in.ogg" "$src"
  row "Ogg -> WAV (oggdec)" "$work/in.ogg" wav 5 .wav oggdec -Q -o "$work/ref.wav" "$work/in.ogg"
fi
if have wavpack; then
  row "WAV -> WavPack 5 (wavpack -h)" "$src" wv 5 .wv wavpack -q -y -h "$src" -o "$work/ref.wv"
  wavpack -q -y -h "$src" -o "$work/in.wv"
  row "WavPack -> WAV (wvunpack)" "$work/in.wv" wav 5 .wav wvunpack -q -y "$work/in.wv" -o "$work/ref.wav"
fi
if have lame; then
  row "WAV -> MP3 5 (lame -b 144)" "$src" mp3 5 .mp3 \
    lame --quiet -b 144 -m s --nores -t --noreplaygain "$src" "$work/ref.mp3"
  lame --quiet -b 192 "$src" "$work/in.mp3"
  row "MP3 -> WAV (mpg123)" "$work/in.mp3" wav 5 .wav mpg123 -q -w "$work/ref.wav" "$work/in.mp3"
fi
if have ffmpeg && have flac; then
  # Monkey's Audio on music-like input (plucked notes over a sweep and a little noise).
  music="$work/music.wav"
  sox -R -n -r 44100 -c 2 -b 16 "$music" synth 600 pluck C3 pluck G3 synth 600 sine mix 50-15000 \
    synth 600 pinknoise mix tremolo 3 40 vol 0.8 2>/dev/null
  # The reference of the encode rows is `flac -8`; its file is named ref.ape so that the row
  # prints its size beside ours.
  row "WAV -> APE 2000 (flac -8)" "$music" ape 4 .ape flac -s -f -8 -o "$work/ref.ape" "$music"
  row "WAV -> APE 4000 (flac -8)" "$music" ape 10 .ape flac -s -f -8 -o "$work/ref.ape" "$music"
  "$cli" --to ape --level 4 --out "$work" "$music" >/dev/null
  row "APE 2000 -> WAV (ffmpeg)" "$work/music.ape" wav 5 .wav \
    ffmpeg -v error -y -i "$work/music.ape" -f wav "$work/ref.wav"
fi
if have ffmpeg; then
  ffmpeg -nostdin -v error -y -i "$src" -c:a tta "$work/in.tta"
  row "TTA -> WAV (ffmpeg)" "$work/in.tta" wav 5 .wav \
    ffmpeg -nostdin -v error -y -i "$work/in.tta" -f wav "$work/ref.wav"
fi
if have ffmpeg && have faad; then
  # AAC against FAAD2's own player (ffmpeg's decoder for information), ALAC against ffmpeg.
  ffmpeg -nostdin -v error -y -i "$src" -c:a aac -b:a 192k "$work/in.m4a"
  row "M4A (AAC) -> WAV (faad)" "$work/in.m4a" wav 5 .wav faad -q -o "$work/ref.wav" "$work/in.m4a"
  row "M4A (AAC) -> WAV (ffmpeg)" "$work/in.m4a" wav 5 .wav \
    ffmpeg -nostdin -v error -y -i "$work/in.m4a" -f wav "$work/ref.wav"
  ffmpeg -nostdin -v error -y -i "$src" -c:a alac "$work/alac.m4a"
  row "M4A (ALAC) -> WAV (ffmpeg)" "$work/alac.m4a" wav 5 .wav \
    ffmpeg -nostdin -v error -y -i "$work/alac.m4a" -f wav "$work/ref.wav"
fi
if have ffmpeg; then
  # Windows Media Audio 2 at level 5 (144 kbit/s) against ffmpeg's own encoder and decoder.
  row "WAV -> WMA 5 (ffmpeg 144k)" "$src" wma 5 .wma \
    ffmpeg -nostdin -v error -y -i "$src" -c:a wmav2 -b:a 144k "$work/ref.wma"
  ffmpeg -nostdin -v error -y -i "$src" -c:a wmav2 -b:a 144k "$work/in.wma"
  row "WMA -> WAV (ffmpeg)" "$work/in.wma" wav 5 .wav \
    ffmpeg -nostdin -v error -y -i "$work/in.wma" -f wav "$work/ref.wav"
fi
