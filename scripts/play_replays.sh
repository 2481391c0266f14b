#!/bin/sh
# Plays every campaign replay through one game program, headless, and says
# for each whether the level was finished (all ingots, alive, next level).
# Usage: scripts/play_replays.sh build/release/game_gl [DATA_FOLDER]
# Exits with 1 when any replay does not finish its level.
set -u
game=$(realpath "$1")
data=$(realpath "${2:-$(dirname "$1")/data}")
replays=$(realpath "$(dirname "$0")/../content/replays")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
for replay in "$replays"/*.txt; do
    stem=$(basename "$replay" .txt)
    level="LEVEL/$(echo "$stem" | tr a-z A-Z).LEV"
    if (cd "$work" && SDL_AUDIODRIVER=dummy "$game" --data "$data" --headless --level "$level" \
            --input "$replay" --dump-state "$work/state.json" > "$work/log.txt" 2>&1) &&
       grep -q '"levelIndex": 1' "$work/state.json" && grep -q '"ingots": 0' "$work/state.json" &&
       grep -q '"dead": false' "$work/state.json"; then
        echo "finished  $stem"
    else
        echo "NOT DONE  $stem"
        failed=1
    fi
    rm -f "$work/state.json"
done
exit $failed
