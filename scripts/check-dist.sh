#!/usr/bin/env bash
# Checks the release in build/dist/ as a user would receive it: checksums, the
# file lists of both archives, the Linux modules' tables (dependencies,
# exports, glibc 2.17 ceiling, host imports against doc/HOST_API.md) for Pellumar and the toolbox's
# engine, both loaded and run through the stand-in host, the Octave package
# installed into a scratch folder by a fresh Octave (the engine in its
# private/) and its self-test, and the archive's sources built in place by
# make_pellumar in Octave. Usage: check-dist.sh STANDIN_DIR (the folder of the
# stand-in libmx.so, libmex.so and module_check).
set -uo pipefail
cd "$(dirname "$0")/.."
source scripts/checks.sh
standin=$(realpath "${1:?usage: $0 STANDIN_DIR}")
version=$(tr -d '[:space:]' < VERSION)
name=pellumar-$version
dist=$(realpath build/dist)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
octave() { octave-cli --quiet --no-history --no-init-file --eval "$1"; }

check "SHA256SUMS verifies" bash -c "cd '$dist' && sha256sum --quiet -c SHA256SUMS"

# The sources shipped: both gateways and every file of the core.
sources=$(cd core && find . -type f | sed 's|^\./|src/|'; echo src/pellumar_mex.cpp; echo src/pellumar_engine_mex.cpp; echo src/host_failure.h)
examples=$(ls examples)
toolbox=$(cd toolbox && ls *.m private/*.m)
expected_zip=$( { printf '%s\n' LICENSE Pellumar.m Pellumar.mexa64 Pellumar.mexw64 README.md \
                     make_pellumar.m pellumar_selftest.m private/pellumar_engine.mexa64 \
                     private/pellumar_engine.mexw64; echo "$toolbox"; echo "$sources"
                   sed 's|^|examples/|' <<<"$examples"; } |
               sed "s|^|$name/|" | LC_ALL=C sort)
got_zip=$(unzip -Z1 "$dist/$name.zip" | LC_ALL=C sort)
check "zip holds exactly the listed files under $name/ (diff: $(diff <(echo "$expected_zip") <(echo "$got_zip") | tr '\n' ' '))" \
  test "$expected_zip" = "$got_zip"
expected_pkg=$( { printf '%s\n' COPYING DESCRIPTION INDEX NEWS README.md post_install.m inst/Pellumar.m \
                     inst/pellumar_selftest.m src/Makefile; sed 's|^|inst/|' <<<"$toolbox"; echo "$sources"
                   sed 's|^|doc/examples/|' <<<"$examples"; } |
               sed "s|^|$name/|" | LC_ALL=C sort)
got_pkg=$(tar -tzf "$dist/$name.tar.gz" | grep -v '/$' | LC_ALL=C sort)
check "Octave package holds exactly the listed files (diff: $(diff <(echo "$expected_pkg") <(echo "$got_pkg") | tr '\n' ' '))" \
  test "$expected_pkg" = "$got_pkg"
check "package DESCRIPTION carries VERSION" grep -qx "Version: $version" \
  <(tar -xzOf "$dist/$name.tar.gz" "$name/DESCRIPTION")

unzip -q "$dist/$name.zip" -d "$scratch/zip"
release=$scratch/zip/$name
module=$release/Pellumar.mexa64
engine=$release/private/pellumar_engine.mexa64
for built in Pellumar pellumar_engine; do
  shipped=$(cd "$release" && ls {,private/}"$built.mexw64" 2>/dev/null)
  check "the zip's $shipped is the one check-win64 ran" cmp -s "$release/$shipped" "build/win64/$built.mexw64"
done

# The Linux modules' tables.
all_imports=""
for file in "$module" "$engine"; do
  base=$(basename "$file")
  needed=$(readelf -d "$file" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort)
  unexpected=$(grep -vxE 'libmx\.so|libmex\.so|libc\.so\.6|libm\.so\.6|libpthread\.so\.0|libgcc_s\.so\.1|ld-linux-x86-64\.so\.2' <<<"$needed")
  check "$base needs only libmx.so, libmex.so and the C library's own (unexpected: $(echo $unexpected))" test -z "$unexpected"
  check "$base needs libmx.so and libmex.so" test "$(grep -cxE 'libmx\.so|libmex\.so' <<<"$needed")" = 2
  check "$base: no search path of the build machine (RPATH/RUNPATH)" bash -c "! readelf -d '$file' | grep -qE 'RPATH|RUNPATH'"
  exports=$(nm -D --defined-only "$file" | awk '{print $3}')
  check "$base exports exactly mexFunction (got: $(echo $exports))" test "$exports" = mexFunction
  ceiling=$(objdump -T "$file" | grep -oE 'GLIBC_[0-9]+\.[0-9]+(\.[0-9]+)?' | sed 's/GLIBC_//' | sort -uV | tail -1)
  check "$base asks for glibc 2.17 at most (asks for $ceiling)" test "$(printf '%s\n' "$ceiling" 2.17 | sort -V | tail -1)" = 2.17
  host_imports=$(nm -D --undefined-only "$file" | awk '$1 == "U" && $2 !~ /@/ {print $2}' | sort)
  all_imports+="$host_imports"$'\n'
done
# Every host entry of the four shipped modules against the table written
# from MATLAB's documentation (doc/HOST_API.md).
check "the zip's modules import only host entries that 64-bit MATLAB R2018a serves, each of its module's array API" \
  scripts/check-host-api.sh "$module" "$engine" "$release/Pellumar.mexw64" "$release/private/pellumar_engine.mexw64"
# Before glibc 2.34 the threads are in libpthread.so.0, which the engine then
# loads itself.
check "pellumar_engine.mexa64 needs libpthread.so.0" bash -c "readelf -d '$engine' | grep -q 'NEEDED.*\[libpthread\.so\.0\]'"
def_names=$(grep -hvE '^(;|LIBRARY|EXPORTS)' gateway/win64/libmx.def gateway/win64/libmex.def | sort)
host_imports=$(grep -v '^$' <<<"$all_imports" | sort -u)
check "the Linux modules import the host functions the Windows ones do (diff: $(diff <(echo "$def_names") <(echo "$host_imports") | grep '^[<>]' | tr '\n' ' '))" \
  test "$host_imports" = "$def_names"

# The Linux modules through the stand-in host, as MATLAB loads them (the
# host's libraries on LD_LIBRARY_PATH).
check "module_check on the zip's Pellumar.mexa64 and private/pellumar_engine.mexa64" \
  env LD_LIBRARY_PATH="$standin" "$standin/module_check" "$module" "$engine"

# The Octave package, installed by a fresh Octave into a scratch prefix.
pkgcode="pkg('prefix', '$scratch/pkg', '$scratch/pkg'); pkg('local_list', '$scratch/octave_packages');
pkg('install', '-local', '$dist/$name.tar.gz'); pkg('load', 'pellumar');
where = which('Pellumar'); disp(['module: ' where]);
assert(strncmp(where, '$scratch/pkg', numel('$scratch/pkg')) && strcmp(where(end-3:end), '.mex'));
text = help('Pellumar'); assert(~isempty(strfind(text, 'averaged stochastic sub-gradient descent')));
d = pkg('list', 'pellumar'); engine = fullfile(d{1}.dir, 'private', 'pellumar_engine.mex');
disp(['engine: ' engine]); assert(exist(engine, 'file') == 3);
assert(exist('pellumar_engine') == 0);
if ~pellumar_selftest(), exit(1); end"
check "Octave package installs (the engine in its private/, out of the caller's reach), loads, shows its help and passes pellumar_selftest" \
  octave "$pkgcode"
# The breast-cancer demo from the installed package, as the package's README says.
check "the package's breast-cancer demo runs as its README says" \
  octave "pkg('local_list', '$scratch/octave_packages'); pkg('load', 'pellumar');
          $(sed -n 's/^    \(d = pkg.*\)$/\1/p' dist/octave/README.md)
          cd('$scratch'); breast_cancer_demo('$scratch/pkg-demo');
          assert(exist('$scratch/pkg-demo/accuracy_vs_passes.png', 'file') == 2)"

# The archive's sources built in place by make_pellumar (as on macOS), here in
# Octave, with the output folder given relative to the current one: it is the
# help file's own folder, which the build must see without copying the file
# onto itself.
check "make_pellumar('.') builds the zip's sources in place (the engine in private/) and pellumar_selftest passes" \
  octave "cd('$release'); make_pellumar('.'); assert(exist(fullfile('$release', 'Pellumar.mex'), 'file') == 3);
          assert(exist(fullfile('$release', 'private', 'pellumar_engine.mex'), 'file') == 3);
          if ~pellumar_selftest(), exit(1); end"

# The zip's examples from the unzipped folder, on that module, with every
# Octave-only function barred for them and for the functions they call by
# stand-ins in examples/private/ and private/:
# each prints its table and writes PNG pictures.
python3 scripts/matlab_compat.py standins "$release/examples/private" "$release"/examples/*.m >/dev/null
python3 scripts/matlab_compat.py standins "$release/private" "$release"/*.m "$release"/private/*.m >/dev/null
octave "addpath('$release', '$release/examples'); cd('$scratch');
        breast_cancer_demo('$scratch/pictures');
        fashion_mnist_demo('', 'train', 2000, 'test', 1000, 'out', '$scratch/pictures');" \
  > "$scratch/examples.txt" 2>&1
check "the zip's examples run in Octave with the Octave-only functions barred ($(grep -m1 -iE 'error' "$scratch/examples.txt"))" \
  test "$(grep -cE '^chosen (on the validation split|by cross-validation)' "$scratch/examples.txt")" = 2
check "the breast-cancer table: five lambdas" \
  test "$(grep -cE '^ +[0-9.e-]+ +0\.[0-9]{4} +0\.[0-9]{4}$' "$scratch/examples.txt")" = 5
check "the Fashion-MNIST table: one row per setting" \
  test "$(grep -cE '^ +[0-9]+ +[0-9]e-[0-9]+ +0\.[0-9]{4} +0\.[0-9]{4} +[0-9.]+$' "$scratch/examples.txt")" = \
       "$(grep -cE '^[0-9]' examples/fashion_settings.txt)"
# The README's quick start, as a user would paste it.
awk '/^## Quick start/ {on = 1} on && /^```$/ {exit} on && code {print} on && /^```matlab$/ {code = 1}' \
  "$release/README.md" > "$scratch/quick_start.m"
check "the README's quick start runs and classifies" \
  octave "addpath('$release'); run('$scratch/quick_start.m'); assert(accuracy > 0.9 && classAccuracy > 0.9)"
for picture in accuracy_vs_passes fashion_accuracy_vs_time fashion_weights; do
  check "$picture.png is a valid PNG" python3 scripts/png_check.py "$scratch/pictures/$picture.png"
done

finish_checks dist
