#!/usr/bin/env bash
# The shipped programs: machine i386, GUI subsystem 4.0, and imports bound
# at load time from known system libraries only (no MinGW runtime DLL, and
# no library a copy of the same name beside the program could replace:
# version.dll and comctl32.dll are bound at their first call instead).
#   check_pe_header.sh <objdump> <program.exe>...
set -uo pipefail
objdump="$1"
shift
allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll ole32.dll shell32.dll msvcrt.dll"
failures=0
passed=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if "$@"; then passed=$((passed + 1)); return 0; fi; return 1; }

for exe in "$@"; do
  if [ ! -f "$exe" ]; then fail "$exe does not exist"; continue; fi
  headers=$("$objdump" -p "$exe")
  check grep -q "file format pei-i386" <<<"$headers" || fail "$exe: not an i386 PE: $(grep 'file format' <<<"$headers")"
  check grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers" || fail "$exe: subsystem is not Windows GUI"
  check grep -Eq "^MajorSubsystemVersion[[:space:]]+4$" <<<"$headers" || fail "$exe: major subsystem version is not 4"
  check grep -Eq "^MinorSubsystemVersion[[:space:]]+0$" <<<"$headers" || fail "$exe: minor subsystem version is not 0"
  dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | sort -u)
  [ -n "$dlls" ] || fail "$exe: no import table found"
  bad=0
  for dll in $dlls; do
    case " $allowed " in
      *" $dll "*) ;;
      *) fail "$exe imports $dll, which is not a known system library"; bad=1 ;;
    esac
  done
  if [ "$bad" = 0 ]; then passed=$((passed + 1)); fi
  echo "PE header of $exe: i386, GUI 4.0, imports: $(echo $dlls)"
done

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
