#!/usr/bin/env bash
# Builds the platform, core, market and plug-in tests with ThreadSanitizer
# and runs them headless. Any report fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
scripts/setup.sh
build=${KIVO_TSAN_BUILD_DIR:-build-tsan}
jobs=${KIVO_JOBS:-$(nproc)}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKIVO_TSAN=ON -DKIVO_BENCH=OFF \
      -DCMAKE_CXX_FLAGS_DEBUG="-g1"
cmake --build "$build" --target platform_tests core_tests market_tests plugin_tests -j "$jobs"
cd "$build"
export TSAN_OPTIONS="second_deadlock_stack=1:suppressions=$root/tests/tsan.supp"
QT_QPA_PLATFORM=offscreen TZ=Asia/Shanghai ctest --output-on-failure -j "$jobs" -R '^(platform|core|market|plugin)_tests$'
