#!/usr/bin/env bash
# Start-up as a user feels it, beside a baseline: builds this tree's program
# and the program of an earlier commit (both Release), then starts them in
# turn inside one virtual X server with benchmarks/StartupProbe.cpp, which
# prints, per run and as medians, the time from exec to the window mapped and
# to the window fully painted, and the idle and peak resident memory.
#
#   tools/startup-benchmark.sh BASELINE_COMMIT [PROBE OPTIONS]
#   e.g. tools/startup-benchmark.sh d2b1b91 --runs 21 --scale 175
#
# Builds go to build-bench (this tree, with the benchmarks) and
# build-baseline/COMMIT (the commit's files, exported with git archive).
set -euo pipefail
cd "$(dirname "$0")/.."

[ $# -ge 1 ] || { echo "usage: $0 BASELINE_COMMIT [--runs N] [--scale 100|125|150|175] [--settle MS]" >&2; exit 2; }
commit=$(git rev-parse --short "$1^{commit}")
shift

launcher=()
command -v ccache >/dev/null && ccache --show-stats >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
lock=()
command -v flock >/dev/null && lock=(flock /tmp/qorv-build.lock)

if [ ! -f build-bench/CMakeCache.txt ]; then
    cmake -S . -B build-bench -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORV_BUILD_BENCHMARKS=ON "${launcher[@]}" >/dev/null
fi
"${lock[@]}" cmake --build build-bench --target qorv qorv_startup_probe

baseline=build-baseline/$commit
if [ ! -f "$baseline/build/CMakeCache.txt" ]; then
    mkdir -p "$baseline/src"
    git archive "$commit" | tar -x -C "$baseline/src"
    cmake -S "$baseline/src" -B "$baseline/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DQORV_BUILD_TESTS=OFF \
        "${launcher[@]}" >/dev/null
fi
"${lock[@]}" cmake --build "$baseline/build" --target qorv

xvfb-run -a -s "-screen 0 1920x1200x24" build-bench/benchmarks/qorv_startup_probe "$@" build-bench/qorv "$baseline/build/qorv"
