#!/usr/bin/env bash
# Assembles the release into build/dist/ from built modules:
#   pellumar-<version>.zip     for MATLAB: the prebuilt modules for Windows and
#                              Linux (Pellumar beside the toolbox's functions,
#                              their engine pellumar_engine in private/), help,
#                              self-test, the training, prediction and search
#                              functions, the build script with the sources,
#                              the examples with their data, licence, README
#   pellumar-<version>.tar.gz  a GNU Octave package (pkg install; its
#                              src/Makefile builds both modules and puts the
#                              engine in the installed private/), the examples
#                              in its doc/examples
#   SHA256SUMS                 checksums of both
# File times come from the last commit, so the same tree gives the same archives.
# Usage: make-dist.sh WIN64_DIR LINUX_DIR, the folders holding Pellumar.mexw64
# and pellumar_engine.mexw64, and Pellumar.mexa64 and pellumar_engine.mexa64.
# make-dist.sh --octave [OUT_DIR] makes the Octave package alone, which needs
# no built module (pkg install compiles them), and its SHA256SUMS, in OUT_DIR
# (build/dist by default), emptied first as for the whole release.
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: $0 WIN64_DIR LINUX_DIR, or $0 --octave [OUT_DIR]"
out=build/dist
octave_only=false
if [[ ${1:-} == --octave ]]; then
  octave_only=true
  out=${2:-$out}
else
  win64=${1:?$usage}
  linux=${2:?$usage}
  for module in "$win64"/{Pellumar,pellumar_engine}.mexw64 "$linux"/{Pellumar,pellumar_engine}.mexa64; do
    [[ -f $module ]] || { echo "make-dist: $module is missing" >&2; exit 1; }
  done
fi

version=$(tr -d '[:space:]' < VERSION)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-dist: bad VERSION '$version'" >&2; exit 1; }
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 1798761600)
date=$(date -u -d "@$epoch" +%Y-%m-%d)
name=pellumar-$version
stage=$out-stage
rm -rf "$out" "$stage"
mkdir -p "$out" "$stage"

# The gateways, and the core's folders beside them (the include paths are
# relative to the core's root).
gateways=(gateway/pellumar_mex.cpp gateway/pellumar_engine_mex.cpp gateway/host_failure.h)
copy_sources() { cp "${gateways[@]}" "$1/" && cp -R core/. "$1/"; }
fill() { sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$date/g" "$1" > "$2"; }

# The MATLAB archive.
if ! $octave_only; then
  zipdir=$stage/zip/$name
  mkdir -p "$zipdir/src"
  cp gateway/Pellumar.m gateway/pellumar_selftest.m gateway/make_pellumar.m LICENSE "$zipdir/"
  cp toolbox/*.m "$zipdir/"
  mkdir -p "$zipdir/private"
  cp toolbox/private/*.m "$zipdir/private/"
  cp "$win64/Pellumar.mexw64" "$linux/Pellumar.mexa64" "$zipdir/"
  cp "$win64/pellumar_engine.mexw64" "$linux/pellumar_engine.mexa64" "$zipdir/private/"
  fill dist/README.md "$zipdir/README.md"
  copy_sources "$zipdir/src"
  mkdir -p "$zipdir/examples"
  cp examples/* "$zipdir/examples/"
fi

# The Octave package.
pkgdir=$stage/pkg/$name
mkdir -p "$pkgdir/inst" "$pkgdir/src"
fill dist/octave/DESCRIPTION "$pkgdir/DESCRIPTION"
fill dist/octave/NEWS "$pkgdir/NEWS"
cp dist/octave/INDEX dist/octave/post_install.m "$pkgdir/"
cp LICENSE "$pkgdir/COPYING"
cp gateway/Pellumar.m gateway/pellumar_selftest.m toolbox/*.m "$pkgdir/inst/"
mkdir -p "$pkgdir/inst/private"
cp toolbox/private/*.m "$pkgdir/inst/private/"
fill dist/octave/README.md "$pkgdir/README.md"
# pkg install copies doc/ into the installed package.
mkdir -p "$pkgdir/doc/examples"
cp examples/* "$pkgdir/doc/examples/"
cp dist/octave/Makefile "$pkgdir/src/"
copy_sources "$pkgdir/src"

find "$stage" -exec touch -h -d "@$epoch" {} +
chmod -R u=rwX,go=rX "$stage"
archives=("$name.tar.gz")
if ! $octave_only; then
  (cd "$stage/zip" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -D "$OLDPWD/$out/$name.zip" -@)
  archives=("$name.zip" "$name.tar.gz")
fi
tar -C "$stage/pkg" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    -cf - "$name" | gzip -n -9 > "$out/$name.tar.gz"
(cd "$out" && sha256sum "${archives[@]}" > SHA256SUMS)
rm -rf "$stage"
ls -l "$out"
