#!/usr/bin/env bash
# ThreadSanitizer run of the threaded engine: the buffer handshake, the encoder thread, the
# capture engine and recording control, on the in-memory sound card. Builds into build-tsan/.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${TSAN_BUILD_DIR:-build-tsan}
readonly kTargets=(test_record test_wave_recorder test_recording_controller lame_enc fake_lame_enc fake_lame_enc_partial)
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  # clang's ThreadSanitizer runtime follows the condition-variable waits libstdc++ uses
  # (pthread_cond_clockwait); gcc 12's does not and reports races inside every timed wait.
  CC=clang CXX=clang++ cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSORVANE_WERROR=ON \
    -DSORVANE_SANITIZE=thread -DSORVANE_BUILD_BENCH=OFF
fi
cmake --build "$BUILD_DIR" -j "$(nproc)" --target "${kTargets[@]}"
# halt_on_error: a race fails the run instead of scrolling past.
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 ${TSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen
status=0
for test in test_record test_wave_recorder test_recording_controller; do
  echo "=== $test"
  # Cases that reach the real sound server are left to the ordinary run: libpulse's own
  # threads are not built with the sanitizer.
  "$BUILD_DIR/bin/$test" --gtest_filter='-*Pulse*:*SoundServer*' --gtest_brief=1 || status=1
done
exit $status
