#!/usr/bin/env bash
# Installs what the browser build and its test need, only what is missing:
# emscripten and chromium from Debian, the SDL2, SDL2_mixer and libxmp (the
# tracker music player) source packages unpacked under build/web-cache/src,
# and puppeteer-core from npm.  Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/../.."

cache=build/web-cache
mkdir -p "$cache/src"

sudo=""
if [[ $(id -u) -ne 0 ]]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive

packages=(emscripten chromium dpkg-dev python3)
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null || true)
  [[ "$status" == ii* ]] || missing+=("$p")
done

need_src=0
if ! ls -d "$cache"/src/libsdl2-2.*/ >/dev/null 2>&1 ||
   ! ls -d "$cache"/src/libsdl2-mixer-2.*/ >/dev/null 2>&1 ||
   ! ls -d "$cache"/src/libxmp-4.*/ >/dev/null 2>&1; then
  need_src=1
fi

# Source packages come from the same mirror apt already uses for binaries:
# add a deb-src entry beside the existing deb entry, once.
src_list=/etc/apt/sources.list.d/zq-web-src.sources
updated=0
if ((need_src)) && [[ ! -f $src_list ]]; then
  uris=$(grep -h '^URIs:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 | awk '{print $2}')
  suites=$(grep -h '^Suites:' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1 | cut -d' ' -f2-)
  if [[ -z $uris ]]; then
    uris=$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | head -1 | awk '{print $2}')
    suites=$(grep -h '^deb ' /etc/apt/sources.list 2>/dev/null | head -1 | awk '{print $3}')
  fi
  printf 'Types: deb-src\nURIs: %s\nSuites: %s\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uris" "$suites" | $sudo tee "$src_list" >/dev/null
fi

if ((${#missing[@]} > 0)) || ((need_src)); then
  $sudo apt-get update -qq
  updated=1
fi
if ((${#missing[@]} > 0)); then
  echo "Installing: ${missing[*]}"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
if ((need_src)); then
  (cd "$cache/src" && rm -rf ./*; apt-get source -qq libsdl2 libsdl2-mixer libxmp)
fi
: "$updated"

# puppeteer-core, pinned by the lock file in scripts/web.
if [[ ! -d scripts/web/node_modules/puppeteer-core ]]; then
  (cd scripts/web && npm ci --no-audit --no-fund --loglevel=error)
fi
