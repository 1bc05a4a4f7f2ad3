#!/usr/bin/env bash
# Checks that the committed demo/demo.bin is exactly what demo/demo.asm assembles to, so the image
# that velkor runs never drifts from its source. Exits 0 when they match, 1 when they differ and 2
# when nasm is missing or fails.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if ! command -v nasm >/dev/null 2>&1; then
  echo "demo/check.sh: nasm not found: install it (apt-get install nasm) to check demo/demo.bin" >&2
  exit 2
fi

built=$(mktemp)
trap 'rm -f "$built"' EXIT
if ! nasm -f bin -o "$built" "$here/demo.asm"; then
  echo "demo/check.sh: demo/demo.asm does not assemble" >&2
  exit 2
fi

if ! cmp -s "$built" "$here/demo.bin"; then
  echo "demo/check.sh: demo/demo.bin differs from demo/demo.asm" >&2
  cmp "$built" "$here/demo.bin" >&2 || true
  echo "rebuild it with: nasm -f bin -o demo/demo.bin demo/demo.asm" >&2
  exit 1
fi
echo "demo/check.sh: demo/demo.bin matches demo/demo.asm ($(wc -c <"$here/demo.bin") bytes)"
