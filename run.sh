#!/usr/bin/env bash
# Installs what is missing, builds into build/, then starts the wizard; with arguments it runs
# the command-line converter instead (./run.sh --to flac song.wav).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/setup.sh" >&2
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQM_TESTS=OFF >/dev/null
cmake --build "$here/build" -j "$(nproc)" >&2
if [ $# -gt 0 ]; then
  exec "$here/build/bin/quillmere-cli" "$@"
fi
if [ -x "$here/build/bin/quillmere" ]; then
  exec "$here/build/bin/quillmere"
fi
echo "The wizard (build/bin/quillmere) was not built; the command-line converter is there: ./run.sh --help" >&2
exit 1
