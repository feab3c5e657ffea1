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
set -euo pipefail
cd "$(dirname "$0")/.."
usage="usage: $0 WIN64_DIR LINUX_DIR"
win64=${1:?$usage}
linux=${2:?$usage}
for module in "$win64"/{Pellumar,pellumar_engine}.mexw64 "$linux"/{Pellumar,pellumar_engine}.mexa64; do
  [[ -f $module ]] || { echo "make-dist: $module is missing" >&2; exit 1; }
done

version=$(tr -d '[:space:]' < VERSION)
[[ $version =~ ^[0-9]+\.[0-9]+\.[0-9]+$ ]] || { echo "make-dist: bad VERSION '$version'" >&2; exit 1; }
epoch=$(git log -1 --format=%ct 2>/dev/null || echo 1798761600)
date=$(date -u -d "@$epoch" +%Y-%m-%d)
name=pellumar-$version
out=build/dist
stage=build/dist-stage
rm -rf "$out" "$stage"
mkdir -p "$out" "$stage"

sources=(gateway/pellumar_mex.cpp gateway/pellumar_engine_mex.cpp core/*.cpp core/*.h)
fill() { sed -e "s/@VERSION@/$version/g" -e "s/@DATE@/$date/g" "$1" > "$2"; }

# The MATLAB archive.
zipdir=$stage/zip/$name
mkdir -p "$zipdir/src"
cp gateway/Pellumar.m gateway/pellumar_selftest.m gateway/make_pellumar.m LICENSE "$zipdir/"
cp toolbox/*.m "$zipdir/"
mkdir -p "$zipdir/private"
cp toolbox/private/*.m "$zipdir/private/"
cp "$win64/Pellumar.mexw64" "$linux/Pellumar.mexa64" "$zipdir/"
cp "$win64/pellumar_engine.mexw64" "$linux/pellumar_engine.mexa64" "$zipdir/private/"
fill dist/README.md "$zipdir/README.md"
cp "${sources[@]}" "$zipdir/src/"
mkdir -p "$zipdir/examples"
cp examples/* "$zipdir/examples/"

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
cp dist/octave/Makefile "${sources[@]}" "$pkgdir/src/"

find "$stage" -exec touch -h -d "@$epoch" {} +
chmod -R u=rwX,go=rX "$stage"
(cd "$stage/zip" && find "$name" | LC_ALL=C sort | TZ=UTC zip -X -q -D "$OLDPWD/$out/$name.zip" -@)
tar -C "$stage/pkg" --sort=name --mtime="@$epoch" --owner=0 --group=0 --numeric-owner \
    -cf - "$name" | gzip -n -9 > "$out/$name.tar.gz"
(cd "$out" && sha256sum "$name.zip" "$name.tar.gz" > SHA256SUMS)
rm -rf "$stage"
ls -l "$out"
