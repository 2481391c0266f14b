#!/usr/bin/env bash
# Fuzzes one reader:  scripts/fuzz.sh TARGET [SECONDS]
#   TARGET   a reader of fuzz/ (level_file, behaviour_script, mesh, pcx,
#            texture_bank, object_defs, settings, wave, input_script,
#            net_message, editor_level, snapshot)
#   SECONDS  how long to run (default 600)
# Builds the clang tree build/fuzz first.  New inputs go to
# build/fuzz/corpus/TARGET; the seeds in fuzz/corpus/TARGET are only read.
# A finding is written to build/fuzz/findings/ and the script exits non-zero.
#
#   scripts/fuzz.sh --short [RUNS]   every target for RUNS executions (default
#                                    2000) over its seeds, at most 25 s each
#   scripts/fuzz.sh --build          only builds the targets
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v clang++ >/dev/null 2>&1; then
    echo "fuzz: clang++ not found, fuzz targets skipped (scripts/install-deps.sh installs clang)"
    exit 0
fi

TARGETS=$(cd fuzz && ls *_fuzz.cpp | sed 's/_fuzz\.cpp$//')
BUILD=build/fuzz
LIMITS=(-rss_limit_mb=2048 -malloc_limit_mb=512 -timeout=30)

build() {
    local launcher=()
    if command -v ccache >/dev/null 2>&1; then
        launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    fi
    cmake -S . -B "$BUILD" -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DZQ_FUZZ=ON -DZQ_TESTS=OFF -DZQ_BENCH=OFF "${launcher[@]}" >/dev/null
    cmake --build "$BUILD" --target fuzz_targets -j"$(nproc)" >/dev/null
}

run() {  # TARGET then libFuzzer options
    local target=$1
    shift
    mkdir -p "$BUILD/corpus/$target" "$BUILD/findings"
    "$BUILD/fuzz/${target}_fuzz" "$BUILD/corpus/$target" "fuzz/corpus/$target" "${LIMITS[@]}" \
        -artifact_prefix="$BUILD/findings/${target}-" "$@"
}

case "${1:-}" in
    "" | -h | --help)
        sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'
        exit 2
        ;;
    --build)
        build
        ;;
    --short)
        runs=${2:-2000}
        build
        failed=0
        for target in $TARGETS; do
            if run "$target" -runs="$runs" -max_total_time=25 -print_final_stats=1 >"$BUILD/$target.log" 2>&1; then
                echo "fuzz: $target ok ($(grep -o 'stat::number_of_executed_units: [0-9]*' "$BUILD/$target.log" | grep -o '[0-9]*$' || echo '?') runs)"
            else
                echo "fuzz: $target FAILED (log: $BUILD/$target.log)"
                tail -30 "$BUILD/$target.log"
                failed=1
            fi
        done
        exit $failed
        ;;
    *)
        target=$1
        seconds=${2:-600}
        if ! echo "$TARGETS" | grep -qx "$target"; then
            echo "fuzz: no target '$target'; there are:" $TARGETS
            exit 2
        fi
        build
        run "$target" -max_total_time="$seconds" -print_final_stats=1
        ;;
esac
