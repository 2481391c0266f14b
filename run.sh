#!/usr/bin/env bash
# Installs what is missing, builds the Release tree with the default content,
# and starts the game (arguments are passed on to it).  ./run.sh --editor
# [FILE.lev] starts the level editor instead.
set -euo pipefail
cd "$(dirname "$0")"
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DZQ_TESTS=OFF >/dev/null
cmake --build build/release -j"$(nproc)"
if [[ "${1:-}" == "--editor" ]]; then
  shift
  exec build/release/leveleditor --data build/release/data "$@"
fi
exec build/release/game_soft --data build/release/data "$@"
