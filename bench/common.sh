# Sourced by the bench scripts: the built CLI, a work folder removed on exit, and the timing
# helpers. Sets here (the source tree), cli and work.
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cli="$here/build/bin/quillmere-cli"
[ -x "$cli" ] || { echo "build first (./test.sh or ./run.sh)"; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# The median of the numbers on standard input.
median() { sort -n | awk '{a[NR]=$1} END {print (NR%2) ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2}'; }
# Seconds a command takes, its output dropped.
seconds() { local s e; s=$(date +%s.%N); "$@" >/dev/null 2>&1; e=$(date +%s.%N); echo "$e - $s" | bc; }
