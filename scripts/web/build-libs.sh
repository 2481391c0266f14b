#!/usr/bin/env bash
# Builds SDL2, SDL2_mixer and libxmp for WebAssembly from the source packages
# that install.sh unpacked, once: the result (headers and static libraries)
# stays in build/web-cache/sysroot until the sources or this script change.
# A plain compiler loop: configuring these projects under emcc is far slower
# than compiling them.
set -euo pipefail
cd "$(dirname "$0")/../.."
export NODE_PATH=${NODE_PATH:-/usr/share/nodejs}

cache=$PWD/build/web-cache
root=$cache/sysroot
stamp=$root/.built
script_sum=$(sha1sum "$0" | cut -c1-12)
if [[ -f $stamp && $(cat "$stamp") == "$script_sum" ]]; then exit 0; fi

sdl=$(ls -d "$cache"/src/libsdl2-2.*/ | head -1)
mixer=$(ls -d "$cache"/src/libsdl2-mixer-2.*/ | head -1)
xmp=$(ls -d "$cache"/src/libxmp-4.*/ | head -1)
jobs=$(nproc)
mkdir -p "$root/include/SDL2" "$root/lib"

# A library already in the sysroot is kept; delete build/web-cache/sysroot to
# build all three again.
# compile LIB FLAGS... -- SOURCES...: every source to an object, then one archive.
compile() {
  local lib=$1; shift
  local flags=()
  while [[ $1 != -- ]]; do flags+=("$1"); shift; done
  shift
  local out=$cache/obj/$lib
  [[ -f $root/lib/lib$lib.a ]] && return 0  # built by an earlier, interrupted run
  rm -rf "$out"
  mkdir -p "$out"
  printf '%s\n' "$@" | nice xargs -P "$jobs" -I{} sh -c \
    'src=$1; shift; o="$0/$(echo "$src" | md5sum | cut -c1-16).o"; emcc -O2 -w "$@" -c "$src" -o "$o"' "$out" {} "${flags[@]}" \
    || { echo "web-build: $lib did not compile" >&2; exit 1; }
  emar rcs "$root/lib/lib$lib.a" "$out"/*.o
}

echo "web-build: SDL2 for wasm"
sdl_src=()
for d in . atomic audio audio/disk audio/dummy audio/emscripten cpuinfo dynapi events file \
         filesystem/emscripten haptic haptic/dummy joystick joystick/emscripten joystick/virtual \
         libm loadso/dlopen locale locale/emscripten misc misc/emscripten power power/emscripten \
         render render/software render/opengles2 sensor sensor/dummy stdlib thread thread/generic timer timer/unix \
         video video/emscripten video/yuv2rgb; do
  sdl_src+=("$sdl"/src/$d/*.c)
done
compile SDL2 -I"$sdl/include" -I"$sdl/src" -- "${sdl_src[@]}"
cp "$sdl"/include/*.h "$root/include/SDL2/"

echo "web-build: libxmp for wasm"
# Without the packed-module readers: the game's music is plain .MOD and .XM,
# and their Vorbis decoder would clash with SDL2_mixer's.
compile xmp -DLIBXMP_STATIC -DBUILDING_STATIC -DLIBXMP_NO_PROWIZARD -DLIBXMP_NO_DEPACKERS \
  -I"$xmp/include" -I"$xmp/src" -- "$xmp"/src/*.c "$xmp"/src/loaders/*.c
cp "$xmp"/include/xmp.h "$root/include/"

echo "web-build: SDL2_mixer for wasm"
compile SDL2_mixer -DMUSIC_WAV -DMUSIC_OGG -DOGG_USE_STB -DMUSIC_MOD_XMP -DLIBXMP_STATIC \
  -I"$root/include" -I"$root/include/SDL2" -I"$mixer/include" -I"$mixer/src" -I"$mixer/src/codecs" -- \
  "$mixer"/src/*.c "$mixer"/src/codecs/{music_wav,load_aiff,load_voc,music_ogg,music_ogg_stb,music_xmp,mp3utils}.c
cp "$mixer"/include/SDL_mixer.h "$root/include/SDL2/"

echo "$script_sum" > "$stamp"
