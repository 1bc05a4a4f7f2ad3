#!/usr/bin/env bash
# Builds the baseline velkor that `make bench` times beside the current build: the commit named in
# bench/baseline-rev (the one before the fast run loop), Release, target velkor only, into
# build-baseline/velkor. The commit's sources are taken with git archive into a temporary folder, so
# neither the working tree nor the list of worktrees is touched. Nothing is built when
# build-baseline/velkor is already from that commit (build-baseline/velkor.rev records it).
#
# usage: bench/build-baseline.sh        (JOBS sets the parallel build jobs, 2 unless given)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
rev=$(tr -d '[:space:]' < "$root/bench/baseline-rev")
out="$root/build-baseline"
jobs=${JOBS:-2}

if [ -x "$out/velkor" ] && [ "$(cat "$out/velkor.rev" 2>/dev/null)" = "$rev" ]; then
  echo "bench/build-baseline.sh: build-baseline/velkor is already from $rev"
  exit 0
fi
if ! git -C "$root" cat-file -e "$rev^{commit}" 2>/dev/null; then
  echo "bench/build-baseline.sh: commit $rev is not in this clone (a shallow one? git fetch --unshallow)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/velkor-baseline.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/src"
git -C "$root" archive --format=tar "$rev" | tar -x -C "$work/src"

# The commit is only timed, never worked on: a newer compiler's new warnings must not stop it from
# building, so its -Werror is taken out of the temporary copy (warnings do not change the code that
# is generated; with g++ 12.2 it builds without a warning either way). -DCMAKE_CXX_FLAGS=-Wno-error would not do: the project's add_compile_options(-Werror)
# comes after CMAKE_CXX_FLAGS on the compiler's command line, and the later option wins.
sed -i 's/ -Werror)/)/' "$work/src/CMakeLists.txt"

cmake -S "$work/src" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DVELKOR_TESTS=OFF -DVELKOR_BENCH=OFF
cmake --build "$work/build" -j "$jobs" --target velkor

mkdir -p "$out"
rm -f "$out/velkor.rev"  # a binary without its record is built again next time
cp "$work/build/velkor" "$out/velkor"
echo "$rev" > "$out/velkor.rev"
echo "bench/build-baseline.sh: build-baseline/velkor built from $rev"
