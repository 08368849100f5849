#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what clang-format makes of it with the
# project's .clang-format; lists the files. `tools/check-format.sh --fix` reformats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! command -v clang-format >/dev/null; then
  echo "check-format: clang-format is not installed (tools/install-deps.sh installs it)" >&2
  exit 2
fi
mapfile -t files < <(git ls-files -- '*.cpp' '*.h' 2>/dev/null || find . -path ./build\* -prune -o \( -name '*.cpp' -o -name '*.h' \) -print)
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
differ=()
for f in "${files[@]}"; do
  clang-format "$f" | cmp -s - "$f" || differ+=("$f")
done
if [ ${#differ[@]} -ne 0 ]; then
  echo "check-format: these files differ from clang-format's output (run tools/check-format.sh --fix):"
  printf '  %s\n' "${differ[@]}"
  exit 1
fi
echo "check-format: clean (${#files[@]} files)"
