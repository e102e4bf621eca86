#!/usr/bin/env bash
# Installs the Debian 12 packages Qorv needs. "run" is enough to build and start
# the program; "test" adds everything the test suite uses.
set -euo pipefail

run_packages=(
    cmake ninja-build g++ pkg-config ccache
    juce-modules-source libasound2-dev libfreetype-dev libfontconfig1-dev
    libx11-dev libxrandr-dev libxinerama-dev libxcursor-dev libxext-dev libxcomposite-dev
    zlib1g-dev fonts-dejavu-core zenity xvfb xauth
    # Previews: Ogg Vorbis files, and their loudness by EBU R128.
    libvorbis-dev libebur128-dev
)
test_packages=(
    libgtest-dev googletest libbenchmark-dev clang libclang-rt-14-dev clang-format git
    xdotool x11-utils imagemagick desktop-file-utils
    appstream shared-mime-info xdg-utils libglib2.0-bin dpkg-dev
    alsa-utils qemu-system-x86 busybox-static cpio kmod xz-utils strace groff-base
    # The package's checks, and the plugin in LV2's tools, jalv on JACK and Ardour.
    lintian binutils python3
    lv2-dev lilv-utils liblilv-dev sordi jalv jackd2 ardour
)

packages=("${run_packages[@]}")
[ "${1:-run}" = test ] && packages+=("${test_packages[@]}")

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
echo "Installing: ${missing[*]}"
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -q
"${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
