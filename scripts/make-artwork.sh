#!/usr/bin/env bash
# Redraws the panel images (resources/images) and the application icon
# (resources/icons) with the artwork generator. Any further arguments are
# passed on, e.g. "--preview /tmp/qorv-preview" to also compose the whole
# panel at the four window magnifications.
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
command -v ccache >/dev/null && ccache --show-stats >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
lock=()
command -v flock >/dev/null && lock=(flock /tmp/qorv-build.lock)

# Configured once; later runs keep whatever options the folder was given.
if [ ! -f build-art/CMakeCache.txt ]; then
    "${lock[@]}" cmake -S . -B build-art -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQORV_BUILD_TESTS=OFF "${launcher[@]}" >/dev/null
fi
"${lock[@]}" cmake --build build-art --target qorv_artgen
build-art/tools/artgen/qorv_artgen resources/images resources/icons "$@"
