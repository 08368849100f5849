#!/usr/bin/env bash
# Makes the README's pictures of the sample game, docs/title.png and docs/page.png: the title and
# a message page of the real program, captured under a private Xvfb below the window's menu strip.
# Usage: tools/readme-shots.sh [build folder] (default: build). Needs Xvfb, xdotool and ImageMagick.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
docs=$root/docs
page_waits=3 # the message page shown: the third page the story waits on

for tool in Xvfb xdotool xdpyinfo import identify compare; do
  command -v "$tool" >/dev/null || {
    echo "readme-shots: $tool is not installed" >&2
    exit 1
  }
done
[ -x "$build/bin/varn" ] || {
  echo "readme-shots: no $build/bin/varn; build first" >&2
  exit 1
}

work=$(mktemp -d)
xvfb=
game=
cleanup() {
  [ -n "$game" ] && kill "$game" 2>/dev/null && wait "$game" 2>/dev/null
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A private X server on a free display number.
for n in $(shuf -i 300-3000 -n 20); do
  [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do
    xdpyinfo -display ":$n" >/dev/null 2>&1 && break
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.05
  done
  if xdpyinfo -display ":$n" >/dev/null 2>&1; then
    export DISPLAY=":$n"
    break
  fi
  kill "$xvfb" 2>/dev/null || true
  xvfb=
done
[ -n "$xvfb" ] || {
  echo "readme-shots: Xvfb did not start" >&2
  exit 1
}

# The game with folders of its own, without sound.
mkdir -p "$work/home/.config" "$work/run"
chmod 700 "$work/run"
HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/run SDL_AUDIODRIVER=dummy SDL_RENDER_DRIVER=software \
  "$build/bin/varn" >"$work/varn.log" 2>&1 &
game=$!
window=$(timeout 30 xdotool search --sync --name Lanternfall | head -n 1)
xdotool windowfocus --sync "$window"
height=$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: [0-9]*x\([0-9]*\).*/\1/p')
strip=$((height - 600))

# The picture below the strip.
capture() {
  import -display "$DISPLAY" -window "$window" -crop "800x600+0+$strip" +repage "$1"
}
# The red of a pixel of the last capture.
red() {
  identify -format "%[fx:int(255*p{$1,$2}.r)]" "$work/b.png"
}
# Waits until three captures a third of a second apart show the same picture (the page-end mark's
# blink aside) and the test given holds for it.
settle() {
  local tries=0
  capture "$work/a.png"
  while :; do
    sleep 0.33
    capture "$work/b.png"
    local differ
    differ=$(compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true)
    if [ "${differ%%.*}" -le 600 ] && "$@"; then
      stable=$((stable + 1))
      [ "$stable" -ge 2 ] && return 0
    else
      stable=0
    fi
    mv "$work/b.png" "$work/a.png"
    tries=$((tries + 1))
    [ "$tries" -lt 150 ] || {
      echo "readme-shots: the game never settled" >&2
      exit 1
    }
  done
}
stable=0

# The title: its new-game button (the second of the column the title's menu attribute places)
# drawn, the cursor resting clear of the buttons.
read -r menu_x menu_y < <(sed -n 's/.*<title menu="\([0-9]*\),\([0-9]*\)".*/\1 \2/p' "$root/sample/script/config.xml")
start_x=$((menu_x + 124)) start_y=$((menu_y + 68))
title_shown() { [ "$(red "$start_x" "$start_y")" -gt 16 ]; }
xdotool mousemove --window "$window" 400 $((strip + 100))
settle title_shown
mkdir -p "$docs"
cp "$work/b.png" "$work/title.png"

# A new game, then clicks on each page until the chosen page waits.
xdotool mousemove --window "$window" "$start_x" $((start_y + strip)) click 1
sleep 0.5
xdotool mousemove --window "$window" 400 $((strip + 100))
text_shown() { [ "$(red 400 590)" -gt 0 ] || [ "$(red 40 440)" -gt 0 ]; }
for ((page = 1; page <= page_waits; page++)); do
  settle text_shown
  [ "$page" -lt "$page_waits" ] && xdotool click 1 && sleep 0.3
done
cp "$work/b.png" "$work/page.png"

cp "$work/title.png" "$docs/title.png"
cp "$work/page.png" "$docs/page.png"
echo "readme-shots: wrote $docs/title.png and $docs/page.png"
