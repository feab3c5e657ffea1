#!/usr/bin/env bash
# Checks the export and import tables of the Windows module: mexFunction is
# its only export, it creates arrays with the 32-bit mxCreateDoubleMatrix_700
# and no other variant, and it needs only system DLLs and the host's libmx and
# libmex. Prints "N passed, N failed".
set -uo pipefail
module=${1:?usage: check-win64-tables.sh Pellumar.mexw64}
objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
table=$("$objdump" -p "$module") || { echo "cannot read $module"; exit 1; }
source "$(dirname "$0")/checks.sh"

# Rows of the name table look like "	[   0] mexFunction".
exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$table" | grep -E '^\s*\[ *[0-9]+\]' | awk '{print $NF}')
check "exports are exactly mexFunction (got: $(echo $exports))" test "$exports" = "mexFunction"

dlls=$(grep -oE 'DLL Name: .*' <<<"$table" | awk '{print $3}' | sort -u)
allowed='^(KERNEL32\.dll|msvcrt\.dll|ucrtbase\.dll|api-ms-win-[a-z0-9-]+\.dll|libmx\.dll|libmex\.dll)$'
unexpected=$(grep -viE "$allowed" <<<"$dlls")
check "needs only system DLLs and libmx/libmex (unexpected: $(echo $unexpected))" test -z "$unexpected"
check "imports from libmx.dll" grep -qx 'libmx.dll' <<<"$dlls"
check "imports from libmex.dll" grep -qx 'libmex.dll' <<<"$dlls"

mx_imports=$(awk '/DLL Name: libmx.dll/{on=1; next} /DLL Name:/{on=0} on' <<<"$table" | grep -oE 'mx[A-Za-z0-9_]+')
check "creates arrays with mxCreateDoubleMatrix_700" grep -qx 'mxCreateDoubleMatrix_700' <<<"$mx_imports"
others=$(grep -E '^mxCreate' <<<"$mx_imports" | grep -vx 'mxCreateDoubleMatrix_700')
check "no other creation variant (got: $(echo $others))" test -z "$others"
mex_imports=$(awk '/DLL Name: libmex.dll/{on=1; next} /DLL Name:/{on=0} on' <<<"$table" | grep -oE 'mex[A-Za-z0-9_]+')
check "raises errors with mexErrMsgIdAndTxt" grep -qx 'mexErrMsgIdAndTxt' <<<"$mex_imports"

finish_checks win64-tables
