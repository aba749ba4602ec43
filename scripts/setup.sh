#!/usr/bin/env bash
# Installs the Debian packages Quillmere needs to build and run, and with --tests also what its
# tests need (sudo when not root).
set -euo pipefail

# Building and running: ./run.sh.
PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev
  # codec libraries loaded at run time, and headers for their record layouts
  libflac-dev libogg-dev libvorbis-dev libwavpack-dev libmpg123-dev libmp3lame-dev libfaad-dev
  libavformat-dev libavcodec-dev libavutil-dev libswresample-dev
)
# Testing as well: ./test.sh (scripts/setup.sh --tests).
if [ "${1:-}" = "--tests" ]; then
  PACKAGES+=(
    libgtest-dev libbenchmark-dev
    xvfb xauth
    dbus # dbus-run-session: the notification test's private session bus
    python3 # the CLI test that parses its JSON lines
    python3-mutagen # judges the ID3v2 tags of the carried set, and writes fuzz seeds
    # the CLI spread over SSH hosts by GNU parallel; the test starts an sshd of its own on a free
    # port (the package also enables the system's sshd service on port 22)
    openssh-server openssh-client rsync parallel
    # reference tools the tests judge our files with
    sox libsox-fmt-all ffmpeg flac vorbis-tools wavpack lame mpg123 faad hyperfine bc
    clang-14 libclang-rt-14-dev # the fuzz targets of ./fuzz.sh
    # the Debian package (CPack, dpkg-shlibdeps) and its install test
    dpkg-dev file desktop-file-utils appstream man-db lintian
  )
fi

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
fi
