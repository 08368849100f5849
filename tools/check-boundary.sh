#!/usr/bin/env bash
# Fails when engine or game code includes SDL, FreeType, fontconfig, ImGui or host (POSIX)
# headers: only platform/ may touch the operating system, only platform/sdl/ those libraries.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
status=0
libs=$(grep -rnE '#\s*include\s*[<"](SDL|ft2build|freetype/|fontconfig/|imgui)' \
         --include='*.h' --include='*.cpp' lib archive dxdraw textscript sound script app platform 2>/dev/null |
       grep -v '^platform/sdl/')
if [ -n "$libs" ]; then
  echo "Only platform/sdl/ may include SDL, FreeType, fontconfig or ImGui:"; echo "$libs"; status=1
fi
host=$(grep -rnE '#\s*include\s*<(unistd|fcntl|dirent|pthread|sched|dlfcn)\.h>|#\s*include\s*<sys/' \
         --include='*.h' --include='*.cpp' lib archive dxdraw textscript sound script app 2>/dev/null)
if [ -n "$host" ]; then
  echo "Only platform/ may include host headers:"; echo "$host"; status=1
fi
[ $status -eq 0 ] && echo "platform boundary: clean"
exit $status
