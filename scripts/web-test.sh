#!/usr/bin/env bash
# Builds the browser version and plays it in headless Chromium (through
# puppeteer-core), served from 127.0.0.1 only.  Screenshots go to
# build/web-test/.  Exits non-zero when a check fails.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/web-build.sh

out=build/web-test
rm -rf "$out"
mkdir -p "$out"
# A free port on the loopback address.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
python3 scripts/web/serve.py build/web "$port" 127.0.0.1 >"$out/server.log" 2>&1 &
server=$!
trap 'kill "$server" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  python3 -c "import socket; socket.create_connection(('127.0.0.1', $port), 1)" 2>/dev/null && break
  sleep 0.1
done

timeout 600 node scripts/web/browser-test.mjs "http://127.0.0.1:$port/" "$out" content/replays/01_first_steps.txt
