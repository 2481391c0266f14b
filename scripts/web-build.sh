#!/usr/bin/env bash
# Builds the browser version of game_soft into build/web/: index.html (our
# page, told the size of each file so its loading bar moves from the first
# byte), zorvoquib.js, zorvoquib.wasm and zorvoquib.data (the data folder),
# each with a gzip copy beside it for the server to send, and download/ with
# the desktop package when one was built (scripts/package-check.sh).
# Installs what it needs first (emscripten and the SDL sources from Debian,
# chromium and puppeteer-core for the tests); SDL2 and SDL2_mixer are built
# for wasm once and kept under build/web-cache/.
set -euo pipefail
cd "$(dirname "$0")/.."
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}
export CCACHE_DIR=${CCACHE_DIR:-$PWD/build/web-cache/ccache}
# Compiles go through ccache where there is one, so a rebuild after a change is quick.
if command -v ccache >/dev/null; then export EM_COMPILER_WRAPPER=ccache; fi

scripts/web/install.sh
scripts/web/build-libs.sh
mkdir -p build/web-cache/sysroot/include
rm -rf build/web-cache/sysroot/include/nlohmann
cp -r /usr/include/nlohmann build/web-cache/sysroot/include/

# The data folder comes from the content generator of the native Debug tree
# (the tree ./test.sh builds).
if [[ ! -f build/debug/data.stamp ]] || [[ -n $(find content -newer build/debug/data.stamp -type f -print -quit) ]]; then
  scripts/install-deps.sh
  if [[ ! -f build/debug/CMakeCache.txt ]]; then
    cmake -S . -B build/debug -DCMAKE_BUILD_TYPE=Debug -DZQ_WERROR=ON -DZQ_SANITIZE=ON -DZQ_BENCH=OFF >/dev/null
  fi
  cmake --build build/debug -j"$(nproc)" --target content
fi

nice make --no-print-directory -f scripts/web/game.mk -j"$(nproc)" \
  OUT=build/web OBJ=build/web-obj SYSROOT=build/web-cache/sysroot DATA=build/debug/data
# The desktop package beside the page, for the players who want network play;
# without one the page's link to it is left out (game.mk), so no link is dead.
rm -rf build/web/download
deb=$(ls -t build/package/zorvoquib_*.deb build/release/zorvoquib_*.deb 2>/dev/null | head -n1 || true)
if [[ -n $deb ]]; then
  mkdir -p build/web/download
  cp "$deb" build/web/download/
fi
nice make --no-print-directory -f scripts/web/game.mk OUT=build/web OBJ=build/web-obj SYSROOT=build/web-cache/sysroot \
  DATA=build/debug/data DEB="$deb" page

# Precompressed copies for the server (gzip -n: the same bytes every build).
for f in build/web/index.html build/web/zorvoquib.js build/web/zorvoquib.wasm build/web/zorvoquib.data; do
  if [[ ! -f $f.gz || $f -nt $f.gz ]]; then nice gzip -9 -n -k -f "$f"; fi
done
echo "web-build: build/web/ is ready ($(du -sh build/web | cut -f1)); scripts/web-serve.sh serves it"
