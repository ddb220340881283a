#!/usr/bin/env bash
# Sets everything up, builds with warnings as errors and runs every test; then builds the core
# with AddressSanitizer and UndefinedBehaviorSanitizer and runs the core suites again.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset asan
cmake --build --preset asan
ctest --preset asan
