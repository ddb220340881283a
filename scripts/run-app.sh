#!/usr/bin/env bash
# Sets everything up, builds an optimised ToviStudio and starts it. Arguments go to the app.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target tovi-studio tovi
exec build/release/src/app/tovi-studio "$@"
