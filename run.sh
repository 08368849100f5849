#!/usr/bin/env bash
# Installs what is missing, builds the engine and the sample game's archives, and plays them.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$(nproc)"
# The game finds its archives in ../data/ from build/bin/, where the build packs them.
game=build/bin/varn
if [ ! -x "$game" ] || [ ! -f build/data/system.pux ]; then
  echo "run.sh: the build did not make $game and build/data/ (see the messages above)." >&2
  exit 1
fi
exec "$game" "$@"
