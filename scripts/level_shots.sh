#!/bin/sh
# Screenshots of every campaign level's opening (frame 40) and middle (half
# way through its solution replay), headless, and one contact sheet of them.
# Usage: scripts/level_shots.sh build/release/game_soft OUT_DIR [DATA_FOLDER]
set -eu
game=$(realpath "$1")
mkdir -p "$2"
out=$(realpath "$2")
data=$(realpath "${3:-$(dirname "$1")/data}")
here=$(dirname "$(realpath "$0")")
replays="$here/../content/replays"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for replay in "$replays"/*.txt; do
    stem=$(basename "$replay" .txt)
    level="LEVEL/$(echo "$stem" | tr a-z A-Z).LEV"
    frames=$(awk '/^[0-9]+x/ { split($1, a, "x"); n += a[1] } END { print n }' "$replay")
    (cd "$work" && SDL_AUDIODRIVER=dummy "$game" --data "$data" --headless --level "$level" --input "$replay" \
        --frames $((frames / 2)) --screenshot "$out/${stem}_a.png" --screenshot-frame 40 \
        --screenshot "$out/${stem}_b.png" --screenshot-frame $((frames / 2)) > /dev/null 2>&1) ||
        echo "no screenshots for $stem" >&2
done
python3 "$here/contact_sheet.py" "$out/contact_sheet.png" 6 $(ls "$out"/[0-9]*_[ab].png | sort)
echo "$out/contact_sheet.png"
