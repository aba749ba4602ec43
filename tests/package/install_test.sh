#!/usr/bin/env bash
# Builds the Debian package from build/, installs it with apt, uses the installed programs as a
# user would, validates the desktop entry, the AppStream metadata, the manual page and the
# completion, then removes the package (also when a step fails) and checks that none of its
# files is left. It changes the machine: ./test.sh runs it only when QM_PACKAGE_TEST=1.
# QM_PACKAGE_BUILD_DIR names another build folder than build/.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${QM_PACKAGE_BUILD_DIR:-$root/build}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"

fail() {
  echo "install_test: FAILED: $*" >&2
  exit 1
}
say() { echo "install_test: $*"; }
need() { command -v "$1" >/dev/null || fail "$1 is missing (scripts/setup.sh --tests installs it)"; }
for tool in apt-get dpkg-deb desktop-file-validate appstreamcli man sox flac ffmpeg lintian; do
  need "$tool"
done

if dpkg-query -W -f='${Status}' quillmere 2>/dev/null | grep -q "installed"; then
  fail "a quillmere package is installed already; remove it first (this test removes its own)"
fi

work="$(mktemp -d)"
installed=0
cleanup() {
  if [ "$installed" = 1 ]; then
    say "removing the package after a failure"
    $SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillmere >/dev/null 2>&1 ||
      $SUDO dpkg --purge quillmere >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# The package, from the build folder ./test.sh made (configured here when run alone).
[ -f "$build/CMakeCache.txt" ] ||
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
rm -f "$build"/quillmere_*.deb
cmake --build "$build" -j "$(nproc)" --target package >"$work/package.log" 2>&1 ||
  { cat "$work/package.log"; fail "the package could not be built"; }
debs=("$build"/quillmere_*_"$(dpkg --print-architecture)".deb)
if [ ${#debs[@]} != 1 ] || [ ! -f "${debs[0]}" ]; then fail "no single quillmere_*.deb in $build"; fi
deb="${debs[0]}"
say "built $(basename "$deb")"

# What the package says of itself, before it touches the machine.
[ "$(dpkg-deb -f "$deb" Package)" = quillmere ] || fail "package name"
version="$(dpkg-deb -f "$deb" Version)"
[ "$(basename "$deb")" = "quillmere_${version}_$(dpkg --print-architecture).deb" ] ||
  fail "file name $(basename "$deb") is not Debian's for version $version"
depends="$(dpkg-deb -f "$deb" Depends)"
for lib in libqt6widgets6 libqt6core6 libavcodec59 libavformat59 libc6; do
  grep -q "\b$lib\b" <<<"$depends" || fail "Depends lacks $lib: $depends"
done
recommends="$(dpkg-deb -f "$deb" Recommends | tr -d ' ' | tr ',' '\n' | sort | tr '\n' ' ')"
[ "$recommends" = "libfaad2 libflac12 libmp3lame0 libmpg123-0 libogg0 libvorbis0a libvorbisenc2 libvorbisfile3 libwavpack1 qt6-wayland " ] ||
  fail "Recommends: $recommends"
# Lintian finds no error and no warning (a copyright file, a changelog, manual pages for every
# program, hardened binaries, description lines that fit).
lintian --fail-on error,warning --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 ||
  { cat "$work/lintian.log"; fail "lintian"; }
[ -z "$(grep -E '^[EW]: ' "$work/lintian.log")" ] || { cat "$work/lintian.log"; fail "lintian"; }
dpkg-deb -e "$deb" "$work/control"
for script in preinst postinst prerm postrm triggers; do
  [ ! -e "$work/control/$script" ] || fail "the package runs $script at install time"
done
outside="$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -v '^\./$' | grep -v '^\./usr/' || true)"
[ -z "$outside" ] || fail "files outside /usr: $outside"

say "installing"
installed=1
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install"; }
dpkg -L quillmere >"$work/files"

# The layout: programs with Libs/ beside them, links in /usr/bin.
for program in quillmere quillmere-cli quillmere-handover; do
  if [ ! -x "/usr/lib/quillmere/$program" ] || [ -L "/usr/lib/quillmere/$program" ]; then
    fail "/usr/lib/quillmere/$program is no program"
  fi
  [ "$(readlink -f "/usr/bin/$program")" = "/usr/lib/quillmere/$program" ] ||
    fail "/usr/bin/$program does not lead to /usr/lib/quillmere/$program"
done
for standin in "$build"/bin/Libs/*.so; do
  [ -f "/usr/lib/quillmere/Libs/$(basename "$standin")" ] ||
    fail "stand-in $(basename "$standin") not installed"
done

# Both versions are the package's, answered without a display, a lock or a data folder.
mkdir -p "$work/home" "$work/runtime"
quiet_env=(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u XDG_DATA_HOME -u XDG_DATA_DIRS
  -u QUILLMERE_LIB_PATH HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime")
[ "$("${quiet_env[@]}" quillmere --version)" = "quillmere $version" ] || fail "quillmere --version"
[ "$("${quiet_env[@]}" quillmere-cli --version)" = "quillmere-cli $version" ] ||
  fail "quillmere-cli --version"
touched="$(find "$work/home" "$work/runtime" -mindepth 1)"
[ -z "$touched" ] || fail "--version touched the home or runtime folder: $touched"

# The installed wizard finds its help documents (also when the system's data folders are not
# named) and looks for its libraries in /usr/lib/quillmere/Libs, through the link's real path.
[ "$("${quiet_env[@]}" quillmere --help-path)" = /usr/share/Quillmere/Help ] || fail "--help-path"
[ "$("${quiet_env[@]}" XDG_DATA_DIRS="$work/none" quillmere --help-path)" = \
  /usr/share/Quillmere/Help ] || fail "--help-path without /usr/share in XDG_DATA_DIRS"
for step in 1 2 3 4; do
  head -c 5 "/usr/share/Quillmere/Help/Step$step.pdf" | grep -q '%PDF-' || fail "Step$step.pdf"
done
[ "$("${quiet_env[@]}" quillmere --library-path)" = /usr/lib/quillmere/Libs ] ||
  fail "--library-path: $("${quiet_env[@]}" quillmere --library-path)"

# The installed converter, from a folder of the user's, with the stand-ins from Libs/.
mkdir -p "$work/music"
cd "$work/music"
sox -n -r 44100 -c 2 -b 16 song.wav synth 1 sine 440 sine 660 vol 0.5
sox song.wav -t raw "$work/song.raw"
"${quiet_env[@]}" quillmere-cli --to flac song.wav >"$work/cli.log" 2>&1 ||
  { cat "$work/cli.log"; fail "quillmere-cli --to flac"; }
flac -s -t song.flac || fail "flac rejects song.flac"
sox song.flac -t raw - | cmp -s - "$work/song.raw" || fail "song.flac differs from song.wav"
"${quiet_env[@]}" quillmere-cli --to ape song.wav >"$work/cli.log" 2>&1 ||
  { cat "$work/cli.log"; fail "quillmere-cli --to ape (libMACDll.so from Libs/)"; }
ffmpeg -v error -i song.ape -f s16le - | cmp -s - "$work/song.raw" || fail "song.ape differs"
"${quiet_env[@]}" quillmere-cli --to mp3 song.wav >"$work/cli.log" 2>&1 ||
  { cat "$work/cli.log"; fail "quillmere-cli --to mp3 (liblame_enc.so from Libs/)"; }
[ "$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 song.mp3)" = mp3 ] ||
  fail "song.mp3 is no MP3"
cd "$root"

# The desktop entry, the AppStream metadata, the icons, the types the system now knows.
desktop-file-validate /usr/share/applications/quillmere.desktop || fail "desktop-file-validate"
metainfo="$(grep '^/usr/share/metainfo/.*\.metainfo\.xml$' "$work/files")"
appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log"; fail "appstreamcli validate"; }
for size in 16 22 24 32 48 64 128 256; do
  file -b "/usr/share/icons/hicolor/${size}x$size/apps/quillmere.png" |
    grep -q "PNG image data, $size x $size" || fail "icon ${size}x$size"
done
grep -q '<svg' /usr/share/icons/hicolor/scalable/apps/quillmere.svg || fail "scalable icon"
if command -v update-mime-database >/dev/null; then
  grep -qx 'audio/x-tak:\*\.tak' <(cut -d: -f2- /usr/share/mime/globs2) ||
    fail "the MIME database does not know *.tak"
  grep -qx 'audio/x-optimfrog:\*\.ofr' <(cut -d: -f2- /usr/share/mime/globs2) ||
    fail "the MIME database does not know *.ofr"
else
  say "skipped the MIME database check: shared-mime-info is not installed"
fi

# Every program's manual page renders without warnings, and the converter's names every
# option; man finds them by name unless this system leaves manual pages out of packages.
for program in quillmere quillmere-handover quillmere-cli; do
  page=/usr/share/man/man1/$program.1.gz
  if [ ! -f "$page" ]; then
    say "this system does not install manual pages; rendering the package's copy"
    [ -d "$work/unpacked" ] || dpkg-deb -x "$deb" "$work/unpacked"
    page="$work/unpacked$page"
  else
    [ "$(man -w "$program")" = "$page" ] || fail "man does not find $program"
  fi
  MANWIDTH=100 man --warnings -l "$page" >"$work/man.txt" 2>"$work/man.err" || fail "man -l"
  [ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man -l $program warns"; }
done
for option in --to --level --out --jobs --delete-source --no-tags --strict --info --help --version; do
  grep -q -- "$option" "$work/man.txt" || fail "the manual page lacks $option"
done

# The completion, as bash loads it.
targets="$(bash -c 'source /usr/share/bash-completion/completions/quillmere-cli
  COMP_WORDS=(quillmere-cli --to ""); COMP_CWORD=2; _quillmere_cli; echo "${COMPREPLY[*]}"')"
[ "$targets" = "flac ape mp3 ogg wav wv wma" ] || fail "completion after --to: $targets"

say "removing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq quillmere >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get purge"; }
installed=0
left=()
while IFS= read -r path; do
  # Shared folders such as /usr/share/icons stay; our own go with everything in them.
  if [ -L "$path" ] || { [ -e "$path" ] && [ ! -d "$path" ]; }; then
    left+=("$path")
  elif [ -d "$path" ] && [[ $path == /usr/lib/quillmere* || $path == /usr/share/Quillmere* ]]; then
    left+=("$path")
  fi
done <"$work/files"
[ ${#left[@]} = 0 ] || fail "left behind: ${left[*]}"
if command -v update-mime-database >/dev/null; then
  ! grep -q 'audio/x-tak:\*\.tak' /usr/share/mime/globs2 || fail "*.tak still in the MIME database"
fi
say "passed"
