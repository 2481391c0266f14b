#!/usr/bin/env bash
# Browser against native: the maze scene's frame time at 320 x 240 and
# 640 x 480 from the same code built both ways (run here, one after the
# other), the page's load to the title on 127.0.0.1, and the download size
# of build/web/ compressed.  Needs scripts/web-build.sh to have run.
set -euo pipefail
cd "$(dirname "$0")/../.."
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
[[ -f build/web/zorvoquib.wasm ]] || scripts/web-build.sh
nice make --no-print-directory -s -f bench/web/bench.mk -j"$(nproc)"

frames=${FRAMES:-200}
native=$(build/web-bench/native-release/maze_frames build/debug/data "$frames"
         build/web-bench/native-release/game_frames build/debug/data content/replays/01_first_steps.txt "${GAME_FRAMES:-695}" || true)
echo "$native" | sed 's/^/native  /'

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
python3 -m http.server "$port" --bind 127.0.0.1 --directory build >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
sleep 1
browser=$(timeout 1200 node bench/web/browser-bench.mjs "http://127.0.0.1:$port/" "${GAME_FRAMES:-695}" || true)
echo "$browser"

# The ratio per size: browser ms / native ms; a size holds 60 Hz in the page
# when its frame leaves the browser a quarter of the 16.7 ms for the rest.
ratio() {  # WHAT SIZE: prints the ratio line of that benchmark line at that size
  local n b
  n=$(echo "$native" | awk -v w="${1%-*}" -v s="$2" '$1 == w && $2 == s {print $3}')
  b=$(echo "$browser" | awk -v w="$1" -v s="$2" '$2 == w && $3 == s {print $4}')
  [[ -n $n && -n $b ]] || return 0
  awk -v n="$n" -v b="$b" -v w="$1" -v s="$2" 'BEGIN {
    printf "ratio   %-8s %-9s browser %6.2f ms / native %6.2f ms = %.2f%s\n", w, s, b, n, b / n, w == "maze" ? "" : (b <= 12.5 ? "  (holds 60 Hz)" : "  (not 60 Hz)") }'
}
for size in 320x240 640x480; do ratio maze "$size"; done
for size in 320x240 640x480 1280x720 1920x1080 2560x1440; do ratio game "$size"; ratio game-2d "$size"; ratio game-sdl "$size"; ratio game-draw "$size"; done

total=0
for f in build/web/index.html build/web/zorvoquib.js build/web/zorvoquib.wasm build/web/zorvoquib.data; do
  size=$(gzip -9 -c "$f" | wc -c)
  total=$((total + size))
  printf 'size    %-28s %9d bytes gzip (%d raw)\n' "$(basename "$f")" "$size" "$(stat -c %s "$f")"
done
awk -v t="$total" 'BEGIN {printf "size    download total %.1f MB gzip\n", t / 1048576}'
