#!/usr/bin/env bash
# Installs what is missing, builds Qorv and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh run

launcher=()
# ccache only where it works (it needs a home or a cache folder of its own).
command -v ccache >/dev/null && ccache --show-stats >/dev/null 2>&1 && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build --target qorv

if [ -z "${DISPLAY:-}" ]; then
    echo "No X display is set: starting Qorv inside a virtual X server (xvfb-run)."
    exec xvfb-run -a -s "-screen 0 1600x1000x24" build/qorv
fi
exec build/qorv
