#!/usr/bin/env bash
# Installs what is missing, builds, and plays the sample game.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
game=build/bin/varn
if [ ! -x "$game" ]; then
  echo "run.sh: the engine builds, but the game's executable ($game) does not exist yet."
  exit 0
fi
exec "$game" "$@"
