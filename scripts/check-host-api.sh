#!/usr/bin/env bash
# Lists every host entry that each module imports and checks each against the
# table of doc/HOST_API.md, written from MATLAB's documentation: the entry
# must be in the table, 64-bit MATLAB must serve it, R2018a must have it, and
# one module must not mix the 32-bit and 64-bit array APIs. Pellumar is on
# the 32-bit compatible API and the engine on the 64-bit one.
#   .mexa64: the undefined dynamic symbols of objdump -T that carry no
#            version (the C library's and libgcc's carry theirs; the host's
#            libmx.so and libmex.so version none).
#   .mexw64: the names imported from libmx.dll and libmex.dll, from the
#            import table of objdump -p.
# Prints "N passed, N failed". Usage: check-host-api.sh MODULE...
set -uo pipefail
[ $# -ge 1 ] || { echo "usage: check-host-api.sh MODULE.mexa64|MODULE.mexw64..." >&2; exit 2; }
here=$(dirname "$0")
source "$here/checks.sh"
table_file=$here/../doc/HOST_API.md
oldest=R2018a

# The table's rows: "| `entry` | API | Since | 64-bit MATLAB | pages |".
table=$(awk -F'|' '$2 ~ /^ `m(x|ex)[A-Za-z0-9_]+` $/ {
  for (i = 2; i <= 6; i++) { gsub(/^ +| +$/, "", $i) }
  gsub(/`/, "", $2); print $2, $3, $4, $5, ($6 == "" ? "-" : "page") }' "$table_file")
check "doc/HOST_API.md holds the table ($(wc -l <<<"$table") rows)" test "$(wc -l <<<"$table")" -ge 10

# A release as a number that orders: pre-R2006a before R2006a, R2006a before R2006b.
release_rank() {
  case $1 in
    pre-R2006a) echo 20055 ;;
    R[0-9][0-9][0-9][0-9]a) echo "${1:1:4}0" ;;
    R[0-9][0-9][0-9][0-9]b) echo "${1:1:4}5" ;;
    *) echo 99999 ;;
  esac
}

imports_of() {  # imports_of MODULE: the host entries it imports, one a line
  case $1 in
    *.mexa64)
      # Rows "0000000000000000      DF *UND*  0000000000000000 (GLIBC_2.2.5) memcpy":
      # the version before the name is "Base", or missing in older binutils,
      # for a symbol without one. Weak references (flag w) import nothing.
      objdump -T "$1" | awk '/\*UND\*/ && !/^[0-9a-f]+ +w / {
        v = $(NF - 1); if (v == "Base" || v ~ /^[0-9a-f]+$/) print $NF }' | sort -u ;;
    *.mexw64)
      "${OBJDUMP_WIN64:-x86_64-w64-mingw32-objdump}" -p "$1" |
        awk '/DLL Name:/ {on = ($3 == "libmx.dll" || $3 == "libmex.dll"); next}
             on && /^\t[0-9a-f]+\t +[0-9]+ +[A-Za-z_]/ {print $NF}' | sort -u ;;
    *) echo "check-host-api: $1: not a .mexa64 or .mexw64 file" >&2; return 1 ;;
  esac
}

for module in "$@"; do
  name=$(basename "$module")
  imports=$(imports_of "$module") || { check "$name: its host imports can be read" false; continue; }
  check "$name: imports host entries ($(wc -w <<<"$imports") read)" grep -q '^mexErrMsgIdAndTxt$' <<<"$imports"
  echo "$name imports:"
  apis=""
  for entry in $imports; do
    row=$(awk -v e="$entry" '$1 == e' <<<"$table")
    if [ -z "$row" ]; then
      check "$name: $entry is in doc/HOST_API.md's table" false
      continue
    fi
    read -r _ api since served page <<<"$row"
    printf '  %-26s %-7s since %-11s 64-bit MATLAB: %s\n' "$entry" "$api" "$since" "$served"
    check "$name: 64-bit MATLAB serves $entry" test "$served" = yes
    check "$name: $entry is in $oldest ($since)" test "$(release_rank "$since")" -le "$(release_rank "$oldest")"
    check "$name: $entry has a documentation page" test "$page" = page
    [ "$api" = both ] || apis+="$api"$'\n'
  done
  modes=$(grep -v '^$' <<<"$apis" | sort -u)
  check "$name: entries of one array API only (got: $(echo $modes))" test "$(grep -c . <<<"$modes")" -le 1
  case $name in
    Pellumar.*) want=32-bit ;;
    pellumar_engine.*) want=64-bit ;;
    *) want="" ;;
  esac
  [ -z "$want" ] || check "$name: on the $want array API (got: $(echo $modes))" test "$modes" = "$want"
done

finish_checks host-api
