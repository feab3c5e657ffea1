#!/usr/bin/env bash
# Checks the export and import tables of the Windows modules (Pellumar and
# the toolbox's engine): mexFunction is each one's only export, each creates
# arrays with one variant of mxCreateDoubleMatrix, that of its array API
# (Pellumar the 32-bit mxCreateDoubleMatrix_700, the engine the 64-bit
# mxCreateDoubleMatrix_730; doc/HOST_API.md), and needs only system DLLs and the host's libmx and libmex (no MinGW-w64 runtime
# DLL: libwinpthread, libstdc++, libgcc); together they import exactly the
# host functions listed in gateway/win64/*.def. Prints "N passed, N failed".
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: check-win64-tables.sh MODULE.mexw64..." >&2; exit 2; }
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
here=$(dirname "$0")
source "$here/checks.sh"

allowed='^(KERNEL32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-[a-z0-9-]+\.dll|libmx\.dll|libmex\.dll)$'
all_imports=""
for module in "$@"; do
  name=$(basename "$module")
  table=$("$objdump" -p "$module") || { echo "cannot read $module"; exit 1; }

  # Rows of the name table look like "	[   0] mexFunction".
  exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}')
  check "$name: exports are exactly mexFunction (got: $(echo $exports))" test "$exports" = "mexFunction"

  dlls=$(grep -oE 'DLL Name: .*' <<<"$table" | awk '{print $3}' | sort -u)
  unexpected=$(grep -viE "$allowed" <<<"$dlls")
  check "$name: needs only system DLLs and libmx/libmex (unexpected: $(echo $unexpected))" test -z "$unexpected"
  check "$name: imports from libmx.dll" grep -qx 'libmx.dll' <<<"$dlls"
  check "$name: imports from libmex.dll" grep -qx 'libmex.dll' <<<"$dlls"

  mx_imports=$(awk '/DLL Name: libmx.dll/{on=1; next} /DLL Name:/{on=0} on' <<<"$table" | grep -oE 'mx[A-Za-z0-9_]+')
  case $name in
    pellumar_engine.*) create=mxCreateDoubleMatrix_730 ;;
    *) create=mxCreateDoubleMatrix_700 ;;
  esac
  check "$name: creates arrays with $create" grep -qx "$create" <<<"$mx_imports"
  others=$(grep -E '^mxCreate' <<<"$mx_imports" | grep -vx "$create")
  check "$name: no other creation variant (got: $(echo $others))" test -z "$others"
  mex_imports=$(awk '/DLL Name: libmex.dll/{on=1; next} /DLL Name:/{on=0} on' <<<"$table" | grep -oE 'mex[A-Za-z0-9_]+')
  check "$name: raises errors with mexErrMsgIdAndTxt" grep -qx 'mexErrMsgIdAndTxt' <<<"$mex_imports"
  all_imports+="$mx_imports"$'\n'"$mex_imports"$'\n'
done

# The lists the import libraries are made from hold nothing that no module
# calls.
listed=$(grep -hvE '^(;|LIBRARY|EXPORTS)' "$here"/../gateway/win64/libmx.def "$here"/../gateway/win64/libmex.def | sort)
imported=$(grep -v '^$' <<<"$all_imports" | sort -u)
check "the modules import exactly the host functions of gateway/win64/*.def (diff: $(diff <(echo "$listed") <(echo "$imported") | grep '^[<>]' | tr '\n' ' '))" \
  test "$listed" = "$imported"

finish_checks win64-tables
