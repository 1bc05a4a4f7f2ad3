#!/usr/bin/env bash
# Builds the libFuzzer targets and runs each for FUZZ_SECONDS (default 60) on a copy of its seed
# corpus, so that the committed corpus does not grow. Any crash, sanitizer report, broken invariant
# or hang fails the script; the reproducer is left in build-fuzz/fuzz-run/<target>/.
set -euo pipefail

cd "$(dirname "$0")/.."
ROOT=$(pwd)
BUILD=${FUZZ_BUILD:-$ROOT/build-fuzz}
SECONDS_EACH=${FUZZ_SECONDS:-60}
JOBS=$(nproc 2>/dev/null || echo 2)

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_CXX_COMPILER=clang++ -DVELKOR_FUZZ=ON -DVELKOR_TESTS=OFF \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$BUILD" -j "$JOBS" --target step_fuzz interpreter_fuzz device_fuzz render_fuzz

declare -A EXTRA=(
    [step]="-max_len=256"
    [interpreter]="-max_len=256 -dict=$ROOT/fuzz/interpreter.dict"
    [device]="-max_len=4096"
    [render]="-max_len=4096"
)

failed=0
for target in step interpreter device render; do
    work="$BUILD/fuzz-run/$target"
    rm -rf "$work"
    mkdir -p "$work/corpus"
    cp "$ROOT/fuzz/corpus/$target/"* "$work/corpus/"
    echo "== ${target}_fuzz for ${SECONDS_EACH}s"
    # The artifact prefix is absolute: the interpreter target works in a scratch directory.
    # shellcheck disable=SC2086
    if ! "$BUILD/fuzz/${target}_fuzz" -max_total_time="$SECONDS_EACH" -timeout=10 -print_final_stats=1 \
            -artifact_prefix="$work/" ${EXTRA[$target]} "$work/corpus" >"$work/log.txt" 2>&1; then
        echo "!! ${target}_fuzz FAILED; log: $work/log.txt" >&2
        grep -E "ERROR|SUMMARY|_fuzz: |Test unit written" "$work/log.txt" >&2 || tail -n 30 "$work/log.txt" >&2
        failed=1
        continue
    fi
    grep -E "^stat::number_of_executed_units|^Done [0-9]+ runs" "$work/log.txt" || true
done

if [ "$failed" -ne 0 ]; then
    echo "FUZZING FOUND A FAULT" >&2
    exit 1
fi
echo "fuzzing: no findings"
