#!/usr/bin/env bash
# Installs the Debian packages that the named groups need, skipping those
# already present. Groups: core, octave, win64, fuzz, clang, arm64, bench, plot,
# dist, fashion (the Fashion-MNIST data set), peers (scikit-learn), text (what
# scripts/make_text_data.py needs to make the text demo's data).
set -euo pipefail

declare -A group=(
  [core]="cmake g++ make libgtest-dev valgrind"
  [octave]="octave octave-dev"
  [win64]="g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine64"
  [fuzz]="clang libclang-rt-14-dev"
  [clang]="clang"
  [arm64]="g++-aarch64-linux-gnu binutils-aarch64-linux-gnu qemu-user"
  [bench]="libbenchmark-dev python3-sklearn python3-numpy"
  [dist]="zip unzip"
  [plot]="gnuplot-nox fonts-dejavu-core fonts-freefont-otf ghostscript"
  [fashion]="dataset-fashion-mnist"
  [peers]="python3-sklearn python3-numpy"
  [text]="python3-sklearn python3-numpy python3-scipy"
)

wanted=()
for g in "${@:-core}"; do
  [[ -n "${group[$g]+x}" ]] || { echo "install-deps: unknown group '$g'" >&2; exit 2; }
  for p in ${group[$g]}; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || wanted+=("$p")
  done
done
[[ ${#wanted[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${wanted[*]}"
sudo=""
[[ $(id -u) -eq 0 ]] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${wanted[@]}"
