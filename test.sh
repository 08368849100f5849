#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test: the normal build, then the
# AddressSanitizer/UndefinedBehaviorSanitizer build with the fuzz targets, then each
# fuzz target for a short while on its seeds.
#   VARN_FAST=1 ./test.sh   skips the sanitizer build and the fuzz run
#   VARN_FUZZ_SECONDS=N     seconds per fuzz target (default 20)
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh

jobs=$(nproc)
status=0

./tools/check-format.sh || status=1

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j "$jobs"
ctest --test-dir build --output-on-failure -j "$jobs" --timeout 300 || status=1

if [ "${VARN_FAST:-0}" != "1" ]; then
  CC=clang CXX=clang++ cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DVARN_SANITIZE=ON -DVARN_FUZZ=ON -DVARN_BENCH=OFF >/dev/null
  cmake --build build-asan -j "$jobs"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=0:strict_string_checks=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  ctest --test-dir build-asan --output-on-failure -j "$jobs" --timeout 1200 || status=1

  # Fuzz smoke run: every target in parallel, each on a scratch copy of its seeds. The run's
  # folder stays under the build folder, so a failing run keeps its crash reproducers.
  seconds=${VARN_FUZZ_SECONDS:-20}
  targets=$(find build-asan/bin -maxdepth 1 -name 'fuzz_*' -type f -executable | sort)
  if [ -n "$targets" ]; then
    work=build-asan/fuzz-run
    rm -rf "$work"
    mkdir -p "$work/crashes"
    for t in $targets; do
      name=$(basename "$t"); name=${name#fuzz_}
      mkdir -p "$work/$name"
      for seeds in fuzz/corpus/"$name" build-asan/fuzz/corpus/"$name"; do
        [ -d "$seeds" ] && cp -r "$seeds"/. "$work/$name"/ 2>/dev/null || true
      done
    done
    echo "Fuzzing each target for ${seconds}s:" $targets
    if ! printf '%s\n' $targets | xargs -P "$jobs" -I{} sh -c '
        t={}; n=$(basename "$t"); n=${n#fuzz_}
        if "$t" -max_total_time='"$seconds"' -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
             -artifact_prefix="'"$work"'/crashes/$n-" "'"$work"'/$n" >"'"$work"'/$n.log" 2>&1; then
          echo "fuzz $n: clean"
        else
          echo "fuzz $n: FAILED"; tail -n 60 "'"$work"'/$n.log"; exit 1
        fi'; then
      status=1
      echo "Fuzz reproducers (run the target on one to see it again):"
      find "$work/crashes" -type f | sed 's/^/  /'
    fi
  fi
fi

if [ $status -ne 0 ]; then
  echo "test.sh: FAILED"
else
  echo "test.sh: all passed"
fi
exit $status
