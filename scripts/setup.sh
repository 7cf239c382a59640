#!/usr/bin/env bash
# Installs every Debian package Sorvane needs to build, run, test and benchmark.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  # toolchain
  cmake ninja-build g++ clang clang-format pkg-config ccache
  # libraries
  qt6-base-dev libmpg123-dev libmp3lame-dev libpulse-dev libtag1-dev
  # tests, benchmarks, fuzzing
  googletest libgtest-dev libgmock-dev libbenchmark-dev libclang-rt-14-dev
  # peer tools the tests and benchmarks check our output against
  lame mpg123 ffmpeg sox id3v2
  # the manual page check renders it; the terminal checks run the CLI under a pseudo-terminal
  groff-base man-db bsdutils util-linux
  # private test sound server
  pulseaudio pulseaudio-utils
  # headless GUI runs; real pointer input and a window manager for the list drag test
  xvfb xdotool twm
  # a FAT image standing in for a portable player in the player transfer tests
  dosfstools fusefat
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi
