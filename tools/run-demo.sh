#!/usr/bin/env bash
# The demo session behind `make run`: a working folder with the demo driver as noname.bin,
# velkor-device there (the software YM2608: a VGM capture, and the sound through the speakers when
# there are any), velkor attached to it on COM3 recording its own capture of the session
# (capture.s98), and at the end that exact capture rendered to capture.wav.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$root/build}
work=$root/run

for program in velkor velkor-device velkor-render; do
  [ -x "$build/$program" ] || { echo "run-demo: $build/$program is missing; build first" >&2; exit 1; }
done

mkdir -p "$work"
cp "$root/demo/demo.bin" "$work/noname.bin"
cd "$work"
rm -f capture.s98 capture.wav  # only this session's files are named at the end

"$build/velkor-device" ./opna --vgm capture.vgm --log device.log --play &
device=$!
for _ in $(seq 200); do
  [ -L ./opna ] && break
  sleep 0.01
done

status=0
# velkor records the session itself from the start: its exact capture, finished when it ends.
VELKOR_CAPTURE=capture.s98 VELKOR_COM3=./opna VELKOR_COM4=/nonexistent "$build/velkor" || status=$?
# velkor closing the port ends the device, which finishes the capture and prints its summary.
wait "$device" || true
captures="$work/capture.vgm (velkor-device)"
if [ -f capture.s98 ]; then
  captures="$work/capture.s98 (velkor), $captures"
  "$build/velkor-render" capture.s98 capture.wav && captures="$captures; sound: $work/capture.wav"
fi
echo "capture: $captures"
exit "$status"
