#!/usr/bin/env bash
# Checks that every committed bench guest image (bench/guests/*.bin) is exactly what its source
# (*.asm beside it) assembles to, so the benchmarks never run an image that drifted from the code
# whose instruction counts they rely on. Exits 0 when all match, 1 when one differs and 2 when nasm
# is missing or a source fails to assemble.
set -euo pipefail
guests=$(cd "$(dirname "$0")/guests" && pwd)

if ! command -v nasm >/dev/null 2>&1; then
  echo "bench/check.sh: nasm not found: install it (apt-get install nasm) to check the guest images" >&2
  exit 2
fi

built=$(mktemp)
trap 'rm -f "$built"' EXIT
status=0
for source in "$guests"/*.asm; do
  name=$(basename "$source" .asm)
  if ! nasm -f bin -o "$built" "$source"; then
    echo "bench/check.sh: bench/guests/$name.asm does not assemble" >&2
    exit 2
  fi
  if ! cmp -s "$built" "$guests/$name.bin"; then
    echo "bench/check.sh: bench/guests/$name.bin differs from bench/guests/$name.asm" >&2
    echo "rebuild it with: nasm -f bin -o bench/guests/$name.bin bench/guests/$name.asm" >&2
    status=1
  fi
done
[ "$status" -eq 0 ] && echo "bench/check.sh: every guest image matches its source ($(ls "$guests"/*.asm | wc -l) guests)"
exit "$status"
