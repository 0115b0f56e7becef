#!/usr/bin/env bash
# Installs the Debian packages the game needs to build, run and be tested
# (only those missing), then configures and builds it in build/.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  # build
  cmake g++ make pkg-config qt6-base-dev libjpeg62-turbo-dev libgtest-dev
  # run: the Song-style CJK face and the toolkit's Chinese texts
  fonts-arphic-uming qt6-translations-l10n
  # end-to-end tests: a real X server, synthetic input, screenshots, and a
  # window manager for the tests of what only one shows
  xvfb xauth xdotool x11-utils imagemagick python3 python3-pil openbox
  # packaging: the .deb (dpkg-shlibdeps, file), desktop-file and AppStream
  # validators, and gio to start the game through its menu entry
  dpkg-dev file desktop-file-utils appstream libglib2.0-bin
  # the start-up test without the Song face runs with only the DejaVu fonts
  fonts-dejavu-core
  # scripts/ci-extra.sh: the libFuzzer target (clang and its runtimes) and
  # the memcheck runs
  clang libclang-rt-14-dev valgrind
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

build_type=${BUILD_TYPE:-RelWithDebInfo}
cmake -S . -B build -DCMAKE_BUILD_TYPE="$build_type" >/dev/null
cmake --build build -j"$(nproc)"
