#!/usr/bin/env bash
# The figures a player feels, in one run: builds the game and the play benchmarks, runs them
# (headless in-process, then build/bin/varn under a private Xvfb) and prints each figure with its
# goal. The machine's other load shows in the figures: each is a median, and worth a second run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j "${JOBS:-3}" --target varn sample_data bench_play bench_play_xvfb >/dev/null
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
"$build/bin/bench_play" --benchmark_format=json --benchmark_out="$out/headless.json" >/dev/null
"$build/bin/bench_play_xvfb" --benchmark_format=json --benchmark_out="$out/xvfb.json" >/dev/null
python3 - "$out/headless.json" "$out/xvfb.json" <<'PY'
import json, sys

runs = {}
for path in sys.argv[1:]:
    try:
        with open(path) as f:
            data = json.load(f)
    except (OSError, ValueError):
        continue
    for b in data.get("benchmarks", []):
        runs[b["name"].split("/")[0]] = b

def get(bench, key):
    b = runs.get(bench)
    if not b:
        return None
    if b.get("error_occurred"):
        print(f"  {bench}: {b.get('error_message', 'failed')}")
        return None
    return b.get(key)

rows = [
    ("exec to the first frame (brand logo)", "BM_ExecToFirstFrame", "median_ms", "ms", 120, 1),
    ("start button to the first message character, less fades", "BM_StartButtonToFirstCharacter",
     "felt_ms_median", "ms", 50, 1),
    ("slot chosen to its page shown, less fades", "BM_SlotToPage", "felt_ms_median", "ms", 50, 1),
    ("peak RSS over a whole play-through", "BM_PlayThrough", "peak_rss_kB_whole_play", "MB", 45, 1 / 1024),
    ("peak RSS at the title", "BM_PlayThrough", "peak_rss_kB_at_title", "MB", 45, 1 / 1024),
    ("peak RSS after ten pages", "BM_PlayThrough", "peak_rss_kB_after_ten_pages", "MB", 45, 1 / 1024),
    ("CPU while a page waits (of one core, 10 s)", "BM_PlayThrough", "waiting_page_cpu_percent", "%", 1, 1),
    ("click on a waiting page to the next page's first frame (median of 20)", "BM_PlayThrough",
     "click_to_next_page_median_ms", "ms", 8, 1),
    ("  the same, beyond the page end's own two frames", "BM_PlayThrough", "click_beyond_page_end_frames_ms", "ms", 8, 1),
]
failed = 0
print("Player-felt figures (probe: the presented picture and the frame counter; medians):")
for label, bench, key, unit, goal, scale in rows:
    value = get(bench, key)
    if value is None or value <= 0:
        print(f"  {label}: not measured (goal < {goal} {unit})")
        failed += 1
        continue
    value *= scale
    verdict = "meets" if value < goal else "MISSES"
    print(f"  {label}: {value:.2f} {unit} (goal < {goal} {unit}: {verdict})")
print("Breakdown:")
for bench in ("BM_StartButtonToFirstCharacter", "BM_SlotToPage", "BM_ClickToNextPageFrames"):
    b = runs.get(bench)
    if b and not b.get("error_occurred"):
        print(f"  {bench} (headless): {b['frames']:.0f} frames, {b['fade_frames']:.0f} of them fades; paced "
              f"{b['paced_ms']:.1f} ms, compute {b['compute_ms']:.1f} ms, beyond the ticks {b['overrun_ms']:.1f} ms, "
              f"longest frame {b['longest_frame_ms']:.1f} ms")
b = runs.get("BM_ExecToFirstFrame")
if b and not b.get("error_occurred"):
    print(f"  BM_ExecToFirstFrame: min {b['min_ms']:.1f} ms, max {b['max_ms']:.1f} ms over 20 starts")
b = runs.get("BM_PlayThrough")
if b and not b.get("error_occurred"):
    print(f"  BM_PlayThrough: {b['clicks_timed']:.0f} clicks timed, {b['pages_in_first_play']:.0f} pages in the first play; "
          f"resident at its end {b.get('rss_anon_kB_at_end', 0) / 1024:.1f} MB of its own, {b.get('rss_file_kB_at_end', 0) / 1024:.1f} MB of mapped files")
b = runs.get("BM_ClickPipeLatency")
if b and not b.get("error_occurred"):
    print(f"  the probe's own click latency (xdotool to the X server): {b['median_ms']:.2f} ms")
sys.exit(1 if failed else 0)
PY
