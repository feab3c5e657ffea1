#!/usr/bin/env bash
# Checks an Octave package as a user installs it: a fresh Octave installs it
# with pkg install -local into a scratch prefix (compiling both modules), loads
# it and runs pellumar_selftest; the module must come from the package and the
# engine sit in the package's private/. Usage: check-octave-package.sh
# [PACKAGE], by default build/dist/pellumar-<version>.tar.gz (make
# octave-package). make check-dist does the same and more for the release.
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/checks.sh
version=$(tr -d '[:space:]' < VERSION)
package=$(realpath "${1:-build/dist/pellumar-$version.tar.gz}")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

check "$package exists" test -f "$package"
check "the package installs into a scratch prefix, loads from it and passes pellumar_selftest" \
  octave-cli --quiet --no-history --no-init-file --eval "
    pkg('prefix', '$scratch/pkg', '$scratch/pkg'); pkg('local_list', '$scratch/octave_packages');
    pkg('install', '-local', '$package'); pkg('load', 'pellumar');
    where = which('Pellumar'); disp(['module: ' where]);
    assert(strncmp(where, '$scratch/pkg', numel('$scratch/pkg')) && strcmp(where(end-3:end), '.mex'));
    d = pkg('list', 'pellumar'); engine = fullfile(d{1}.dir, 'private', 'pellumar_engine.mex');
    assert(exist(engine, 'file') == 3 && exist('pellumar_engine') == 0);
    if ~pellumar_selftest(), exit(1); end"
finish_checks octave-package
