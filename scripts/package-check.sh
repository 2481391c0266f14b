#!/usr/bin/env bash
# Builds the .deb from a Release tree of its own (build/package, or the build
# type given as the first argument in build/package-TYPE) and checks it:
# lintian finds no error and no warning beyond those README.md justifies, the
# programs sit in /usr/games under their package names with a manual page
# each, and the files are stripped.  Takes a few minutes the first time,
# seconds once the tree is built.
#
#   scripts/package-check.sh [TYPE]          in build/package(-TYPE)
#   scripts/package-check.sh --tree DIR      in DIR, a Release tree without
#                                            tests (./test.sh gives it
#                                            build/release, which ./run.sh
#                                            builds the same way)
set -euo pipefail
cd "$(dirname "$0")/.."
if [[ "${1:-}" == --tree ]]; then
  dir=${2:?usage: scripts/package-check.sh --tree DIR}
  type=Release
else
  type=${1:-Release}
  dir=build/package
  [[ "$type" == Release ]] || dir=build/package-$(echo "$type" | tr '[:upper:]' '[:lower:]')
fi

for tool in lintian dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "package-check: $tool is not installed (scripts/install-deps.sh --test)" >&2
    exit 1
  fi
done

launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE="$type" -DZQ_TESTS=OFF -DZQ_BENCH=OFF "${launcher[@]}" >/dev/null
cmake --build "$dir" -j"$(nproc)" >/dev/null
(cd "$dir" && cpack -G DEB >/dev/null)
deb=$(ls -t "$dir"/zorvoquib_*.deb | head -n1)
echo "package-check: $deb"

fail=0
# Warnings README.md explains: none today.  Add a tag here only with its reason there.
allowed_warnings=()
report=$(lintian --tag-display-limit 0 "$deb" || true)
[[ -n "$report" ]] && echo "$report"
while IFS= read -r line; do
  case "$line" in
    E:*) fail=1 ;;
    W:*)
      tag=$(echo "$line" | awk '{print $3}')
      ok=0
      for allowed in "${allowed_warnings[@]}"; do [[ "$tag" == "$allowed" ]] && ok=1; done
      ((ok)) || fail=1
      ;;
  esac
done <<<"$report"

contents=$(dpkg-deb -c "$deb" | awk '{print $6}')
for program in zorvoquib zorvoquib-gl zorvoquib-editor zorvoquib-tool; do
  grep -qx "./usr/games/$program" <<<"$contents" || { echo "package-check: /usr/games/$program is missing" >&2; fail=1; }
  grep -qx "./usr/share/man/man6/$program.6.gz" <<<"$contents" ||
    { echo "package-check: the manual page of $program is missing" >&2; fail=1; }
done
if grep -q '^./usr/bin/' <<<"$contents"; then
  echo "package-check: programs in /usr/bin" >&2
  fail=1
fi

if ((fail)); then
  echo "package-check: FAILED" >&2
  exit 1
fi
echo "package-check: lintian clean"
