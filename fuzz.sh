#!/usr/bin/env bash
# Builds the libFuzzer targets of fuzz/ with clang into build-fuzz and runs each in turn for a
# bounded time (default 60 s each) on seeds made here by the reference tools, plus the files of
# ../shared/samples when present. Exits non-zero on any finding and names the input that caused
# it, and keeps that input in fuzz/crashes/<target>/, which ctest replays in every build. Not
# part of ./test.sh.
#   ./fuzz.sh [seconds] [target...]     e.g. ./fuzz.sh 30 wave_in id3v2
set -euo pipefail
cd "$(dirname "$0")"
seconds="${1:-60}"
shift || true
./scripts/setup.sh --tests

build=build-fuzz
CC=clang-14 CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DQM_FUZZ=ON \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "$(nproc)"

seeds="$build/seeds"
work="$seeds/.work"
samples=../shared/samples
rm -rf "$seeds"
mkdir -p "$work"

# Runs a reference tool quietly; a tool that fails leaves out its seed, not the run.
quiet() { "$@" >/dev/null 2>&1 || echo "fuzz.sh: no seed from: $*" >&2; }
tone() { # file rate channels [sox output options...]
    local file="$1" rate="$2" channels="$3"
    shift 3
    quiet sox -n -r "$rate" -c "$channels" "$@" "$file" synth 0.05 sine 440 sine 660
}
ff() { quiet ffmpeg -nostdin -y -hide_banner -loglevel error -f lavfi -i "sine=f=440:d=0.05:r=$1" \
    "${@:2}"; }
put() { # target files...: copies the existing ones into the target's seed folder
    local target="$1"
    shift
    mkdir -p "$seeds/$target"
    local f
    for f in "$@"; do
        [ -s "$f" ] && cp "$f" "$seeds/$target/"
    done
    return 0
}
# Shared samples up to 128 KiB: larger ones only slow the mutations down.
put_samples() { # target folder...
    local target="$1" folder f
    shift
    for folder in "$@"; do
        [ -d "$samples/$folder" ] || continue
        for f in "$samples/$folder"/*; do
            [ -f "$f" ] && [ "$(stat -c %s "$f")" -le 131072 ] && put "$target" "$f"
        done
    done
    return 0
}
u8at() { od -An -tu1 -j "$2" -N1 "$1" | tr -d ' '; }
u16at() { od -An -tu2 -j "$2" -N2 --endian=little "$1" | tr -d ' '; }
u32at() { od -An -tu4 -j "$2" -N4 --endian=little "$1" | tr -d ' '; }
offset_of() { # file perl-regex: byte offset of the first match
    LC_ALL=C grep -obUaP "$2" "$1" | awk -F: 'NR == 1 { print $1 }'
}
le16() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))"; }
le32() { le16 $(($1 & 65535)); le16 $(($1 >> 16 & 65535)); }

# WAVE: every sample layout the reader takes, extensible and RF64 headers, INFO lists before and
# after the audio, an ID3v2 chunk, and MPEG audio, A-law, µ-law and GSM 6.10 in WAVE.
w="$work/wav"
mkdir -p "$w"
tone "$w/u8.wav" 8000 1 -b 8 -e unsigned-integer
tone "$w/s16.wav" 8000 2 -b 16
tone "$w/s24.wav" 8000 1 -b 24
tone "$w/s32.wav" 8000 1 -b 32
tone "$w/f32.wav" 8000 1 -e floating-point -b 32
tone "$w/f64.wav" 8000 2 -e floating-point -b 64
tone "$w/ima1.wav" 8000 1 -e ima-adpcm
tone "$w/ima2.wav" 8000 2 -e ima-adpcm
tone "$w/ms1.wav" 8000 1 -e ms-adpcm
tone "$w/ms2.wav" 8000 2 -e ms-adpcm
ff 8000 -ac 3 -c:a pcm_s24le "$w/extensible.wav"
ff 8000 -c:a pcm_s16le -metadata title=Title -metadata artist=Artist "$w/info.wav"
ff 8000 -c:a pcm_s16le -rf64 always "$w/rf64.wav"
ff 8000 -c:a adpcm_ima_wav "$w/ffima.wav"
ff 8000 -c:a adpcm_ms -ac 2 "$w/ffms.wav"
ff 8000 -c:a libmp3lame -b:a 16k "$w/mp3.wav"
tone "$w/alaw.wav" 8000 2 -e a-law
tone "$w/ulaw.wav" 8000 1 -e u-law
tone "$w/gsm.wav" 8000 1 -e gsm-full-rate
# An INFO list after the audio (as TWaveOut writes it) and an 'id3 ' chunk added by mutagen.
quiet /usr/bin/python3 -c '
import struct, sys, mutagen.id3 as m, mutagen.wave
source, target = sys.argv[1:]
data = open(source, "rb").read()
info = b"INFO"
for code, text in ((b"INAM", b"Title\0"), (b"IART", b"A; B\0"), (b"ICMT", b"\x93q\x94\0")):
    info += code + struct.pack("<I", len(text)) + text + b"\0" * (len(text) % 2)
data += b"LIST" + struct.pack("<I", len(info)) + info
open(target, "wb").write(data[:4] + struct.pack("<I", len(data) - 8) + data[8:])
audio = mutagen.wave.WAVE(target)
audio.add_tags()
audio.tags.add(m.TIT2(encoding=3, text="id3 title"))
audio.tags.add(m.APIC(encoding=3, mime="image/png", type=3, data=b"\x89PNG\r\n\x1a\n" * 4))
audio.save()
' "$w/s16.wav" "$w/tags.wav"
put wave_header "$w"/*.wav
put wave_in "$w"/*.wav

# ADPCM blocks: a choice byte (bit 0 stereo, bit 1 Microsoft, bit 2 short output), the samples
# per block, the coefficient count and pairs, then the first block of a file sox wrote. The
# format record of these files starts at byte 20.
mkdir -p "$seeds/adpcm"
for f in "$w"/ima1.wav "$w"/ima2.wav "$w"/ms1.wav "$w"/ms2.wav; do
    [ -s "$f" ] || continue
    channels=$(u16at "$f" 22)
    align=$(u16at "$f" 32)
    data=$(($(offset_of "$f" 'data') + 8))
    out="$seeds/adpcm/$(basename "$f" .wav)"
    case "$f" in
    *ima*)
        { printf "\\x$(printf %02x $((channels - 1)))"; le16 0; printf '\x00'; } >"$out"
        ;;
    *ms*)
        count=$(u16at "$f" 40)
        { printf "\\x$(printf %02x $((2 | (channels - 1))))"; le16 "$(u16at "$f" 38)"
          printf "\\x$(printf %02x "$count")"; dd if="$f" bs=1 skip=42 count=$((count * 4)) 2>/dev/null
        } >"$out"
        ;;
    esac
    dd if="$f" bs=1 skip="$data" count="$align" 2>/dev/null >>"$out"
done

# ID3v1 and ID3v2 tags written by lame and FFmpeg, whole files and the bare ID3v1 block.
m="$work/mp3"
mkdir -p "$m"
tone "$m/in.wav" 8000 1 -b 16
quiet lame --quiet --id3v1-only --tt Title --ta Artist --tl Album --ty 2001 --tc Comment --tn 7 \
    --tg Rock "$m/in.wav" "$m/v1.mp3"
quiet lame --quiet --id3v2-only --tt "Tïtle" --ta Artist --tl Album --ty 2001 --tn 3/9 \
    "$m/in.wav" "$m/v2lame.mp3"
for version in 3 4; do
    ff 8000 -c:a libmp3lame -b:a 8k -id3v2_version "$version" -write_id3v1 1 \
        -metadata title="Tïtle" -metadata artist=Artist -metadata album=Album -metadata date=1999 \
        -metadata track=4 -metadata genre=Jazz -metadata comment=Note "$m/v2$version.mp3"
done
for f in "$m"/*.mp3; do
    [ -s "$f" ] && tail -c 128 "$f" >"$f.id3v1"
done
put id3v1 "$m"/*.id3v1 "$m"/v1.mp3
put id3v2 "$m"/v2*.mp3
# Tags written by mutagen: 2.4, 2.3, 2.3 unsynchronised, with UTF-16 text and pictures; and a
# version 2.2 tag built here.
quiet /usr/bin/python3 -c '
import sys, mutagen.id3 as m
from mutagen.id3._util import unsynch
d = sys.argv[1]
t = m.ID3()
for f in [m.TIT2(encoding=1, text="T\u00eftle"), m.TPE1(encoding=3, text=["A", "B"]),
          m.TCON(encoding=0, text="(17)Rock"), m.TDRC(encoding=3, text="2001-02-03"),
          m.TRCK(encoding=0, text="3/9"), m.COMM(encoding=1, lang="eng", desc="", text="C"),
          m.USLT(encoding=2, lang="eng", desc="", text="L"), m.TSO2(encoding=3, text="S"),
          m.TXXX(encoding=1, desc="MusicBrainz Album Id", text="id"),
          m.UFID(owner="http://musicbrainz.org", data=b"track"),
          m.APIC(encoding=1, mime="image/png", type=3, desc="d",
                 data=b"\x89PNG\r\n\x1a\n\xff\x00\xff\xe0" * 4)]:
    t.add(f)
t.save(d + "/m24.id3", v2_version=4, padding=lambda info: 0)
t.save(d + "/m23.id3", v2_version=3, padding=lambda info: 0)
raw = open(d + "/m23.id3", "rb").read()
body = unsynch.encode(raw[10:])
n = len(body)
open(d + "/m23u.id3", "wb").write(raw[:5] + bytes([raw[5] | 0x80]) +
    bytes([n >> 21 & 127, n >> 14 & 127, n >> 7 & 127, n & 127]) + body)
frames = b"TT2\0\0\x06\0Title" + b"TCO\0\0\x05\0(17)" + b"PIC\0\0\x0a\0PNG\x03\0\x89PNG"
open(d + "/m22.id3", "wb").write(b"ID3\x02\0\0\0\0\0" + bytes([len(frames)]) + frames)
' "$m"
put id3v2 "$m"/*.id3
put_samples id3v1 tta
put_samples id3v2 tta

# APEv2 tags written by WavPack and FFmpeg, and the last bytes of the shared files that have one.
a="$work/ape"
mkdir -p "$a"
quiet wavpack -q -w "Title=Tïtle" -w "Artist=Artist" -w "Year=2001" -w "Track=2/9" \
    "$m/in.wav" -o "$a/tagged.wv"
ff 8000 -c:a wavpack -metadata title=Title -metadata album=Album "$a/ff.wv"
for f in "$samples"/ape/*.ape "$samples"/tak/*.tak; do
    [ -f "$f" ] && tail -c 4096 "$f" >"$a/$(basename "$f").tail"
done
for target in apev2 ape_tag tak_apev2; do
    put "$target" "$a"/*.wv "$a"/*.tail
done

# Vorbis comment blocks: FLAC's VORBIS_COMMENT block and Ogg Vorbis's comment packet.
v="$work/vorbis"
mkdir -p "$v"
quiet flac -s -f -T "TITLE=Tïtle" -T ARTIST=Artist -T DATE=2001 -T TRACKNUMBER=5 -T GENRE=Pop \
    "$m/in.wav" -o "$v/in.flac"
if [ -s "$v/in.flac" ]; then
    at=4
    while [ "$at" -lt "$(stat -c %s "$v/in.flac")" ]; do
        kind=$(u8at "$v/in.flac" "$at")
        length=$(( $(u8at "$v/in.flac" $((at + 1))) << 16 | $(u8at "$v/in.flac" $((at + 2))) << 8 |
            $(u8at "$v/in.flac" $((at + 3))) ))
        if [ $((kind & 127)) -eq 4 ]; then
            dd if="$v/in.flac" bs=1 skip=$((at + 4)) count="$length" 2>/dev/null >"$v/flac.comments"
        fi
        [ $((kind & 128)) -ne 0 ] && break
        at=$((at + 4 + length))
    done
fi
quiet oggenc -Q -t "Tïtle" -a Artist -l Album -d 2001 -N 6 -G Rock "$m/in.wav" -o "$v/in.ogg"
if [ -s "$v/in.ogg" ]; then
    at=$(offset_of "$v/in.ogg" '\x03vorbis')
    [ -n "$at" ] && dd if="$v/in.ogg" bs=1 skip=$((at + 7)) count=1024 2>/dev/null >"$v/ogg.comments"
fi
put vorbis_comments "$v"/*.comments
# Chains for the Ogg page scan: one file, two joined, the second cut short.
if [ -s "$v/in.ogg" ]; then
    cat "$v/in.ogg" "$v/in.ogg" >"$v/chain.ogg"
    head -c -100 "$v/chain.ogg" >"$v/cut.ogg"
fi
put ogg_layout "$v"/*.ogg

# Windows shortcuts: nothing here writes them, so two are built by hand in the shell's layout:
# link information with a local path, then UTF-16 texts; and a single-byte one.
s="$work/lnk"
mkdir -p "$s"
lnk_header() { # flags
    le32 76
    printf '\x01\x14\x02\x00\x00\x00\x00\x00\xc0\x00\x00\x00\x00\x00\x00\x46'
    le32 "$1"; le32 32; head -c 24 /dev/zero; le32 1234; le32 0; le32 1; le16 0; head -c 10 /dev/zero
}
lnk_info() { # local path (ASCII)
    local path="$1"
    local volume=17 local_at=$((28 + 17))
    local suffix_at=$((local_at + ${#path} + 1))
    le32 $((suffix_at + 1)); le32 28; le32 1; le32 28; le32 "$local_at"; le32 0; le32 "$suffix_at"
    le32 "$volume"; le32 3; le32 4660; le32 16; printf '\x00'
    printf '%s\x00\x00' "$path"
}
counted() { # ASCII text as a UTF-16 counted string
    le16 ${#1}
    local i
    for ((i = 0; i < ${#1}; i++)); do printf '%s\x00' "${1:i:1}"; done
}
{ lnk_header $((0x02 | 0x04 | 0x10 | 0x20 | 0x40 | 0x80)); lnk_info /music/song.wav
  counted "My song"; counted /music; counted --loud; counted /icons/note.ico; } >"$s/unicode.lnk"
{ lnk_header $((0x02 | 0x20)); lnk_info /a/b.mp3; le16 3; printf -- '-v1'; } >"$s/narrow.lnk"
put shell_link "$s"/*.lnk

# The hand-over list: paths one a line, with a CRLF line and an empty one.
mkdir -p "$seeds/hand_over_list"
printf '/home/user/Music/a b.flac\n/tmp/x.wav\r\n\n/m/caf\xc3\xa9/\xe2\x99\xab.mp3\n' \
    >"$seeds/hand_over_list/list.qmafsl"

# Monkey's Audio, TAK, TTA and MP4 files.
put_samples ape_header ape
put_samples ape_decode ape
put_samples tak_decode tak
put_samples tak_apev2 tak
t="$work/tta"
mkdir -p "$t"
ff 8000 -c:a tta -sample_fmt s16 "$t/s16.tta"
ff 8000 -c:a tta -sample_fmt u8 -ac 2 "$t/u8.tta"
ff 8000 -c:a tta -sample_fmt s32 "$t/s24.tta"
put tta_decode "$t"/*.tta
put_samples tta_decode tta
x="$work/mp4"
mkdir -p "$x"
ff 8000 -c:a aac -b:a 16k -metadata title="Tïtle" -metadata artist=Artist -metadata track=2/5 \
    "$x/aac.m4a"
ff 8000 -c:a alac -metadata album=Album -movflags +faststart "$x/alac.m4a"
# Every carried item and two covers, as mutagen writes them.
cp "$x/aac.m4a" "$x/items.m4a" &&
    quiet /usr/bin/python3 tests/app/cli/carried_tags.py make-m4a "$x/items.m4a"
put mp4_movie "$x"/*.m4a
put mp4_items "$x"/*.m4a
put_samples mp4_items m4a
put_samples mp4_movie m4a
w="$work/asf"
mkdir -p "$w"
ff 8000 -c:a wmav2 -b:a 32k -metadata title="Tïtle" -metadata artist=Artist -metadata track=3 \
    "$w/wmav2.wma"
ff 8000 -c:a wmav1 -b:a 32k "$w/wmav1.wma"
# Every carried attribute, two artists and two WM/Picture values, as mutagen writes them.
cp "$w/wmav2.wma" "$w/attributes.wma" &&
    quiet /usr/bin/python3 tests/app/cli/carried_tags.py make-wma "$w/attributes.wma"
put asf_header "$w"/*.wma
put_samples asf_header wma
rm -rf "$work"

# Each target in turn, one process: the machine's cores are shared.
if [ $# -gt 0 ]; then
    targets=("$@")
else
    targets=()
    for f in "$build"/bin/*_fuzz; do
        name=$(basename "$f")
        targets+=("${name%_fuzz}")
    done
fi
findings="$build/findings"
mkdir -p "$findings" "$build/logs"
export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
failed=()
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    log="$build/logs/$target.log"
    mkdir -p "$corpus" "$seeds/$target"
    echo "== $target: ${seconds}s on $(find "$seeds/$target" -type f | wc -l) seeds"
    if "$build/bin/${target}_fuzz" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2560 \
        -print_final_stats=1 -artifact_prefix="$findings/$target-" "$corpus" "$seeds/$target" \
        >"$log" 2>&1; then
        grep -E '^stat::number_of_executed_units' "$log" || true
    else
        failed+=("$target")
        grep -E 'ERROR:|SUMMARY:|runtime error' "$log" | head -5 || true
        input=$(sed -n 's/.*Test unit written to \(.*\)$/\1/p' "$log" | tail -1)
        echo "FINDING in $target: input ${input:-(none written)}, log $log"
        # Kept in the source tree: ctest replays fuzz/crashes/<target>/ in every build.
        if [ -n "$input" ] && [ -f "$input" ]; then
            mkdir -p "fuzz/crashes/$target"
            cp "$input" "fuzz/crashes/$target/"
            echo "kept as fuzz/crashes/$target/$(basename "$input"): commit it with the fix"
        fi
    fi
done
if [ ${#failed[@]} -gt 0 ]; then
    echo "Findings in: ${failed[*]}"
    exit 1
fi
echo "No findings in ${#targets[@]} targets."
