#!/usr/bin/env bash
# Installs what is missing, then builds and runs the whole test suite:
#   0. the formatting of every tracked C++ source,
#   1. the core unit tests under AddressSanitizer and UndefinedBehaviorSanitizer,
#   2. every fuzzer for a bounded number of runs,
#   3. the MIDI engine's tests under ThreadSanitizer, the sequencer tests included,
#   4. the LV2 plugin made, automated and deleted on a host's own thread 1,000
#      times, under ThreadSanitizer and under AddressSanitizer with
#      UndefinedBehaviorSanitizer (only the plugin and its bare lilv host are built),
#   5. the full build (program, panel, engine, tools, benchmarks) and all its
#      tests, the sequencer tests inside a small virtual machine among them.
# Every build treats a warning in Qorv's own code as an error.
set -euo pipefail
cd "$(dirname "$0")/.."

# Each stage's time, said at the end: the whole command must stay well inside CI's limit.
timings=()
stage_started=$SECONDS
stage_name=""
stage() {
    [ -n "$stage_name" ] && timings+=("$(printf '%5d s  %s' $((SECONDS - stage_started)) "$stage_name")")
    stage_name=$*
    stage_started=$SECONDS
    printf '\n=== %s\n' "$*"
}
say_timings() {
    [ -n "$stage_name" ] && timings+=("$(printf '%5d s  %s' $((SECONDS - stage_started)) "$stage_name")")
    printf '\n=== Time by stage\n'
    printf '%s\n' "${timings[@]}"
    printf '%5d s  in all\n' "$SECONDS"
}
trap say_timings EXIT
build() {
    local dir=$1
    shift
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DQORV_WARNINGS_AS_ERRORS=ON "$@"
    cmake --build "$dir"
}

stage "Packages the build and the tests need"
scripts/install-deps.sh test

launcher=()
# ccache only where it works (it needs a home or a cache folder of its own). Paths
# are hashed relative to the checkout, so a fresh clone elsewhere reuses the cache.
if command -v ccache >/dev/null && ccache --show-stats >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
    export CCACHE_BASEDIR=$PWD CCACHE_NOHASHDIR=true
fi

stage "Formatting of the tracked C++ sources (clang-format)"
git ls-files -z -- '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror

stage "Core unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
build build-asan -DCMAKE_BUILD_TYPE=Debug -DQORV_SCOPE=core -DQORV_SANITIZE=address,undefined
ctest --test-dir build-asan --output-on-failure -j2

stage "Fuzzers, bounded runs"
build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DQORV_SCOPE=core -DQORV_BUILD_TESTS=OFF -DQORV_BUILD_FUZZERS=ON
ctest --test-dir build-fuzz --output-on-failure

stage "MIDI engine under ThreadSanitizer"
# Only the engine's own tests: the core's are single-threaded and run under the address sanitizer.
build build-tsan -DCMAKE_BUILD_TYPE=Debug -DQORV_SCOPE=midi -DQORV_SANITIZE=thread "-DQORV_TESTS=support;midi;alsa"
ctest --test-dir build-tsan --output-on-failure

stage "The LV2 plugin's lifetime on a host's thread under ThreadSanitizer, then AddressSanitizer"
for sanitizers in thread address,undefined; do
    dir=build-plugin-${sanitizers%%,*}
    cmake -S . -B "$dir" -G Ninja "${launcher[@]}" -DQORV_WARNINGS_AS_ERRORS=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DQORV_SANITIZE="$sanitizers"
    cmake --build "$dir" --target qorv_plugin_lv2_tests
    ctest --test-dir "$dir" --output-on-failure -R '^qorv_plugin_lv2_lifetime$'
done

stage "Full build and test suite"
build build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQORV_BUILD_BENCHMARKS=ON
ctest --test-dir build --output-on-failure
