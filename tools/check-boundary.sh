#!/usr/bin/env bash
# Fails when engine or game code includes SDL, FreeType, fontconfig, ImGui or host (POSIX)
# headers: only platform/ may touch the operating system, only platform/sdl/ those libraries.
# Backend choice (backends/) sits above the engine and may reach into both backends; nothing
# of the engine may include it.
set -u
root=${1:-$(dirname "$0")/..}
cd "$root" || exit 2
status=0
libs=$(grep -rnE '#\s*include\s*[<"](SDL|ft2build|freetype/|fontconfig/|imgui)' \
         --include='*.h' --include='*.cpp' lib archive dxdraw textscript sound script app backends platform 2>/dev/null |
       grep -v '^platform/sdl/')
if [ -n "$libs" ]; then
  echo "Only platform/sdl/ may include SDL, FreeType, fontconfig or ImGui:"; echo "$libs"; status=1
fi
host=$(grep -rnE '#\s*include\s*<(unistd|fcntl|dirent|pthread|sched|dlfcn)\.h>|#\s*include\s*<sys/' \
         --include='*.h' --include='*.cpp' lib archive dxdraw textscript sound script app backends 2>/dev/null)
if [ -n "$host" ]; then
  echo "Only platform/ may include host headers:"; echo "$host"; status=1
fi
# Layering: a folder includes only its own headers and those of the folders below it.
#   folder (longest prefix wins)   may include
layers='
platform/sdl       platform lib
platform/headless  platform lib
platform           platform
lib                platform lib
archive            platform lib archive
dxdraw             platform lib archive dxdraw
sound              platform lib archive sound
textscript         platform lib archive dxdraw textscript
app/frame          platform lib archive dxdraw textscript sound app/frame
backends           platform lib archive dxdraw textscript sound app/frame backends
script             platform lib archive dxdraw textscript sound app/frame script
script/save        platform lib archive dxdraw textscript sound app/frame script script/save
script/screens     platform lib archive dxdraw textscript sound app/frame script script/save script/screens
script/dialogs     platform lib archive dxdraw textscript sound app/frame script script/save script/dialogs
app                platform lib archive dxdraw textscript sound app/frame script script/save script/screens script/dialogs app
app/main           platform lib archive dxdraw textscript sound app/frame script script/save script/screens script/dialogs app backends
'
upward=$(
  grep -rnE '^\s*#\s*include\s*"[^"]+/' --include='*.h' --include='*.cpp' \
       lib archive dxdraw textscript sound app script backends platform 2>/dev/null |
  while IFS= read -r hit; do
    file=${hit%%:*}
    inc=$(printf '%s' "$hit" | sed -E 's/.*#\s*include\s*"([^"]+)".*/\1/')
    best=""; allowed=""
    while read -r folder may; do
      [ -z "$folder" ] && continue
      case "$file" in "$folder"/*)
        [ ${#folder} -gt ${#best} ] && { best=$folder; allowed=$may; } ;;
      esac
    done <<< "$layers"
    [ -z "$best" ] && continue
    ok=0
    for a in $allowed; do
      case "$inc" in "$a"/*)
        # A folder's name as a prefix does not admit its subfolders that sit higher up.
        case "$inc" in app/frame/*) [ "$a" = app ] && [ "$best" != app ] && continue ;; esac
        case "$inc" in script/save/*|script/screens/*|script/dialogs/*) [ "$a" = script ] && continue ;; esac
        # Only a backend itself, and backend choice above the engine, reach into a backend.
        case "$inc" in platform/sdl/*|platform/headless/*) [ "$best" != "${inc%/*}" ] && [ "$best" != backends ] && continue ;; esac
        ok=1 ;;
      esac
    done
    [ $ok -eq 0 ] && echo "$hit"
  done)
if [ -n "$upward" ]; then
  echo "Includes that run upward (or into a backend) from a lower folder:"; echo "$upward"; status=1
fi
[ $status -eq 0 ] && echo "platform boundary and layering: clean"
exit $status
