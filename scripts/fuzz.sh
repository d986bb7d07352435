#!/usr/bin/env bash
# Runs the libFuzzer targets of a fuzz build tree (configured with clang and
# -DZORVIK_FUZZ=ON, fuzzers built).
#   scripts/fuzz.sh BUILD_DIR SECONDS [JOBS] [TARGET...]
# Each target runs SECONDS, JOBS of them at once (default 1), starting from
# the seeds made into BUILD_DIR/fuzz-seeds (from the picture corpora the
# build tree names) and the kept inputs of fuzz/regressions/<target>; new
# inputs collect in BUILD_DIR/fuzz-corpus/<target> and seed the next run.
# A short run (under two minutes, the smoke run of make test) starts from
# the seeds alone and keeps nothing, so that it takes the same time every
# time. Logs go to BUILD_DIR/fuzz-logs. A crash, hang
# (an input running longer than the target's time limit), leak, sanitizer
# report or memory blow-up leaves its input in BUILD_DIR/fuzz-artifacts and
# makes the script fail.
set -uo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
seconds=$2
jobs=${3:-1}
shift $(($# < 3 ? $# : 3))
targets=("$@")
[ ${#targets[@]} -eq 0 ] &&
    targets=(BitmapRun DecodeSymbol Segments CorrectBlock LoadSettings ResultPage SecondSearch
             PictureFile)

# Longest input and longest run of one input, per target: the inputs stay
# the size the program meets (a module matrix of side 177, a settings file)
# or small enough that a slow path shows as a hang rather than as size.
# A bitmap run tries every attempt and the second search, so its pictures
# stay under about 100 x 100 pixels: thousands of runs a minute, not hundreds.
declare -A maxLen=([BitmapRun]=12000 [DecodeSymbol]=3921 [Segments]=4000 [CorrectBlock]=259
                   [LoadSettings]=4096 [ResultPage]=40000 [SecondSearch]=20000
                   [PictureFile]=30000)
declare -A timeLimit=([BitmapRun]=30 [DecodeSymbol]=10 [Segments]=10 [CorrectBlock]=10
                      [LoadSettings]=10 [ResultPage]=10 [SecondSearch]=30 [PictureFile]=10)

if [ ! -d "$build/fuzz-seeds" ]; then
    pictures=("$here/tests/data")
    corpus=$(sed -n 's/^ZORVIK_CORPUS_DIR:PATH=//p' "$build/CMakeCache.txt")
    if [ -n "$corpus" ]; then
        for c in "$corpus" "$(dirname "$corpus")/corpus-beyond"; do
            [ -d "$c" ] && pictures+=("$c")
        done
    fi
    "$build/bin/zorvik-fuzz-seeds" "$build/fuzz-seeds" "${pictures[@]}" >/dev/null || exit 1
fi

run_one() {
    local t=$1
    local corpus="$build/fuzz-corpus/$t" artifacts="$build/fuzz-artifacts/$t/"
    if [ "$seconds" -lt 120 ]; then
        corpus="$build/fuzz-smoke/$t"
        rm -rf "$corpus"
    fi
    local log="$build/fuzz-logs/$t.log"
    mkdir -p "$corpus" "$artifacts" "$build/fuzz-logs"
    local dirs=("$corpus" "$build/fuzz-seeds/$t")
    for d in "$here/fuzz/regressions/$t"; do [ -d "$d" ] && dirs+=("$d"); done
    local start=$SECONDS
    "$build/bin/Fuzz$t" -max_total_time="$seconds" -max_len="${maxLen[$t]}" \
        -timeout="${timeLimit[$t]}" -rss_limit_mb=2560 -malloc_limit_mb=1024 \
        -print_final_stats=1 -artifact_prefix="$artifacts" "${dirs[@]}" >"$log" 2>&1
    local rc=$?
    local runs
    runs=$(grep -o 'stat::number_of_executed_units: [0-9]*' "$log" | grep -o '[0-9]*$')
    if [ $rc -eq 0 ]; then
        echo "fuzz $t: ok, ${runs:-?} runs in $((SECONDS - start)) s"
    else
        echo "fuzz $t: FAILED after $((SECONDS - start)) s (log $log):"
        grep -E 'ERROR|SUMMARY|contract broken|Test unit written' "$log" | head -5 | sed 's/^/    /'
    fi
    return $rc
}

if [ "$jobs" -le 1 ] || [ ${#targets[@]} -le 1 ]; then
    failed=0
    for t in "${targets[@]}"; do run_one "$t" || failed=1; done
    exit $failed
fi
export -f run_one
export build here seconds
export maxLenDump timeDump
maxLenDump=$(declare -p maxLen) timeDump=$(declare -p timeLimit)
printf '%s\n' "${targets[@]}" |
    xargs -P "$jobs" -I{} bash -c 'eval "$maxLenDump"; eval "$timeDump"; run_one {}'
