#!/usr/bin/env bash
# Runs `zqtool check-level` on campaign levels, two at a time, and fails when
# a level is not proved winnable, is undecided, or has a dead end (or a way
# to the exit around its ingot door) that content/dead-ends.txt does not list
# as a deliberate restart.
#
#   scripts/check-levels.sh BUILD_DIR [--all] [--seconds N]
#
# Without --all it checks the quick set named in content/dead-ends.txt (the
# levels decided in seconds, as ./test.sh runs it); with --all every level of
# BUILD_DIR/data/LEVEL.  The JSON of each level is left in BUILD_DIR/level-checks/.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?usage: scripts/check-levels.sh BUILD_DIR [--all] [--seconds N]}
shift
all=0
seconds=120
while [ $# -gt 0 ]; do
    case "$1" in
        --all) all=1 ;;
        --seconds) seconds=$2; shift ;;
        *) echo "unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
list=content/dead-ends.txt
out="$build/level-checks"
mkdir -p "$out"
if [ "$all" = 1 ]; then
    levels=$(cd "$build/data/LEVEL" && ls *.LEV | sed 's/\.LEV$//')
else
    levels=$(sed -n 's/^quick[[:space:]]\+//p' "$list")
fi
export build out seconds
printf '%s\n' $levels | xargs -P2 -I{} sh -c \
    '"$build/zqtool" check-level "$build/data/LEVEL/{}.LEV" --data "$build/data" --seconds "$seconds" >"$out/{}.json"; echo $? >"$out/{}.status"'
status=0
for level in $levels; do
    python3 - "$out/$level.json" "$level" "$list" <<'PY' || status=1
import json, re, sys
path, level, listing = sys.argv[1:4]
result = json.load(open(path))
allowed = []
for line in open(listing):
    words = line.split()
    if len(words) >= 3 and words[0] == level:
        allowed.append((words[1], words[2]))
problems = []
if result.get("winnable") is not True:
    problems.append("not proved winnable (winnable: %s)" % result.get("winnable"))
if not result.get("complete"):
    problems.append("the search did not finish in its time")
if result.get("replayProblem"):
    problems.append(result["replayProblem"])
for trap in result.get("deadEnds", []):
    cell = re.search(r"\((-?\d+,-?\d+,-?\d+)\)", trap["why"])
    cell = cell.group(1) if cell else "?"
    if not any(kind == trap["kind"] and (where == "*" or where == cell) for kind, where in allowed):
        problems.append("undocumented %s dead end: %s\n%s" % (trap["kind"], trap["why"], trap["script"]))
print("%-32s %s states, %.1f s, solution %.1f s leaving %s gold, %d dead ends%s" % (
    level, result.get("states"), result.get("seconds", 0), result.get("solutionSeconds", 0),
    result.get("goldLeft", "?"), len(result.get("deadEnds", [])), "" if not problems else " -- FAILED"))
for p in problems:
    print("    " + p)
sys.exit(1 if problems else 0)
PY
done
exit $status
