#!/usr/bin/env bash
# Serves build/web/ on this machine only (127.0.0.1) and prints the address;
# browsers get the gzip copies web-build.sh wrote (Content-Encoding: gzip).
# Usage: scripts/web-serve.sh [PORT]   (8080 unless given)
set -euo pipefail
cd "$(dirname "$0")/.."
port=${1:-8080}
if [[ ! -f build/web/index.html ]]; then
  echo "web-serve: build/web/ is missing; run scripts/web-build.sh first" >&2
  exit 1
fi
echo "Zorvo Quib in the browser: http://127.0.0.1:$port/  (Ctrl+C stops the server)"
exec python3 scripts/web/serve.py build/web "$port" 127.0.0.1
