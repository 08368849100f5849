#!/usr/bin/env bash
# Processor use of build/bin/varn per thread while the first page waits, under a private Xvfb
# with SDL's dummy audio (as the real-window play figures take it). Usage: idle_probe.sh BUILD [SECONDS [PROGRAM]]
# With PROBE_HOLD=1 the game's pid and display are printed and the probe waits for the file
# "$PROBE_HOLD_FILE" to appear, for perf or strace by hand.
set -euo pipefail
build=$(realpath "${1:-build}")
seconds=${2:-10}
program=${3:-varn}
work=$(mktemp -d)
display=":$((200 + RANDOM % 500))"
cleanup() {
  [ -n "${game:-}" ] && kill "$game" 2>/dev/null && wait "$game" 2>/dev/null || true
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -ac >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.05; done
mkdir -p "$work/run" && chmod 700 "$work/run"
HOME=$work XDG_CONFIG_HOME=$work/.config XDG_RUNTIME_DIR=$work/run SDL_VIDEODRIVER=x11 SDL_AUDIODRIVER=dummy \
  SDL_RENDER_DRIVER=software SDL_FRAMEBUFFER_ACCELERATION=0 "$build/bin/$program" 2>/dev/null &
game=$!
window=""
for _ in $(seq 200); do
  window=$(xdotool search --name Lanternfall 2>/dev/null | head -1 || true)
  [ -n "$window" ] && break
  sleep 0.05
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
strip=$(($(xwininfo -id "$window" | awk '/Height:/ {print $2}') - 600))
# The brand logo and the title's fade; then the start button, then the first page's text.
sleep 8
xdotool mousemove --window "$window" 640 $((330 + strip))
sleep 0.3
xdotool click 1
sleep 1
xdotool mousemove --window "$window" 400 $((168 + strip))
sleep 8
# Time on a processor in nanoseconds (the scheduler's own count, finer than the clock ticks of
# /proc/PID/stat that the play figures read), per thread and for the whole process.
ns() { awk '{print $1}' "$1/schedstat" 2>/dev/null || echo 0; }
ticks() { awk '{print $14 + $15}' "$1/stat" 2>/dev/null || echo 0; }
declare -A before
for t in /proc/$game/task/*; do before[$t]=$(ns "$t"); done
ticks_before=$(ticks /proc/$game)
if [ "${PROBE_HOLD:-0}" = 1 ]; then
  echo "pid $game display $display" >&2
  while [ ! -e "$PROBE_HOLD_FILE" ]; do sleep 0.2; done
fi
start=$(date +%s.%N)
sleep "$seconds"
end=$(date +%s.%N)
total=0
for t in /proc/$game/task/*; do
  now=$(ns "$t")
  used=$((now - ${before[$t]:-0}))
  total=$((total + used))
  awk -v u="$used" -v s="$start" -v e="$end" -v n="$(cat "$t/comm")" -v id="${t##*/}" \
    'BEGIN { printf "  %-16s %7s %6.3f %%\n", n, id, 100 * u / 1e9 / (e - s) }'
done
awk -v u="$total" -v a="$ticks_before" -v b="$(ticks /proc/$game)" -v hz="$(getconf CLK_TCK)" -v s="$start" -v e="$end" \
  'BEGIN { printf "total %.3f %% of a core over %.1f s (%.2f %% in clock ticks)\n", 100 * u / 1e9 / (e - s), e - s, 100 * (b - a) / hz / (e - s) }'
