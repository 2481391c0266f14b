#!/usr/bin/env bash
# Browser against native: the game's frame (the level 1 replay) at each size
# (and the maze scene's, MAZE=1), from the same code built both ways, then the
# page's load to the title on 127.0.0.1, the sizes F4 then offers in the game
# (by the page's own verdict) and the download size of build/web/ compressed.
# Builds the page first (scripts/web-build.sh), so the figures are those of
# the files just built.
#
# The machine may be shared, so one run proves little: native and page runs
# take turns (ROUNDS of each, native first), and each figure is the median of
# its rounds with the lowest and highest beside it.  Natively a frame is timed
# in the thread's processor time; the page has only the wall clock, so any
# time the machine gives to others counts against the page.
# The maze scene (MAZE=1, FRAMES frames) is timed on the wall clock on both
# sides, so its figures are only as good as the machine is quiet.
#   ROUNDS=5  GAME_FRAMES=300  MAZE=0  FRAMES=200
#   SIZES=320x240,640x480,...  MODES=game,game-convert,game-draw (also game-gl, game-sdl)
set -euo pipefail
cd "$(dirname "$0")/../.."
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
scripts/web-build.sh >/dev/null
nice make --no-print-directory -s -f bench/web/bench.mk -j2

rounds=${ROUNDS:-5}
frames=${FRAMES:-200}
game_frames=${GAME_FRAMES:-300}
sizes=${SIZES:-320x240,640x480,800x600,1024x768,1280x720,1920x1080,2560x1440}
modes=${MODES:-game,game-convert,game-draw}
replay=content/replays/01_first_steps.txt

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
python3 -m http.server "$port" --bind 127.0.0.1 --directory build >/dev/null 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
sleep 1

# Every line of every round, as "SIDE ROUND WHAT SIZE MS".
all=$(mktemp)
trap 'kill "$server" 2>/dev/null || true; rm -f "$all"' EXIT
for round in $(seq 1 "$rounds"); do
  { [[ ${MAZE:-0} == 1 ]] && build/web-bench/native-release/maze_frames build/debug/data "$frames"
    build/web-bench/native-release/game_frames build/debug/data "$replay" "$game_frames" "$sizes"; } |
    awk -v r="$round" '{print "native", r, $1, $2, $3}' | tee -a "$all"
  what=game
  [[ ${MAZE:-0} == 1 ]] && what=maze,$what
  [[ $round == "$rounds" ]] && what=$what,load,offered
  timeout 1200 node bench/web/browser-bench.mjs "http://127.0.0.1:$port/" "$game_frames" "$sizes" "$modes" "$what" |
    awk -v r="$round" '$2 == "load-to-title" || $2 == "offered" {print; next} {print "browser", r, $2, $3, $4}' | tee -a "$all"
done

# The ratio per size and mode: median browser ms / median native ms (the
# native figure of a game mode is its "game" line: nothing is shown natively).
# A size holds 60 Hz in the page when its frame leaves the browser a quarter
# of the 16.7 ms for the rest.
echo
printf '%-10s %-9s %20s %20s %6s\n' what size 'native ms (range)' 'page ms (range)' ratio
awk '
  function median(list,   n, a, i, j, t) {
    n = split(list, a, " ")
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    lo[list] = a[1]; hi[list] = a[n]
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  $1 == "native" || $1 == "browser" { key = $1 " " $3 " " $4; v[key] = v[key] " " $5; if ($1 == "browser" && !seen[$3 " " $4]++) order[++n] = $3 " " $4 }
  END {
    for (i = 1; i <= n; i++) {
      split(order[i], p, " ")
      nat = v["native " (p[1] ~ /^game/ ? "game" : p[1]) " " p[2]]
      br = v["browser " order[i]]
      if (nat == "" || br == "") continue
      nm = median(nat); bm = median(br)
      verdict = p[1] == "game" ? (bm <= 12.5 ? "  holds 60 Hz" : "  not 60 Hz") : ""
      printf "%-10s %-9s %6.2f (%5.2f-%5.2f) %6.2f (%5.2f-%5.2f) %5.2fx%s\n", p[1], p[2], nm, lo[nat], hi[nat], bm, lo[br], hi[br], bm / nm, verdict
      med[order[i]] = bm
    }
    # Where the page frame goes beyond the drawing, from the medians of the three modes.
    for (i = 1; i <= n; i++) {
      split(order[i], p, " ")
      if (p[1] != "game" || !(("game-convert " p[2]) in med) || !(("game-draw " p[2]) in med)) continue
      printf "split      %-9s drawing %.2f  conversion %.2f  putImageData %.2f ms\n", p[2], med["game-draw " p[2]],
             med["game-convert " p[2]] - med["game-draw " p[2]], med["game " p[2]] - med["game-convert " p[2]]
    }
  }' "$all"
grep 'load-to-title\|offered' "$all" || true

total=0
for f in build/web/index.html build/web/zorvoquib.js build/web/zorvoquib.wasm build/web/zorvoquib.data; do
  size=$(gzip -9 -c "$f" | wc -c)
  total=$((total + size))
  printf 'size    %-28s %9d bytes gzip (%d raw)\n' "$(basename "$f")" "$size" "$(stat -c %s "$f")"
done
awk -v t="$total" 'BEGIN {printf "size    download total %.1f MB gzip\n", t / 1048576}'
