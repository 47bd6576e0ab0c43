#!/usr/bin/env bash
# The shipped Setup.exe: machine i386, GUI subsystem 4.0, and imports from
# system DLLs only (no MinGW runtime DLL).
set -uo pipefail
exe="$1"
objdump="$2"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

[ -f "$exe" ] || { echo "FAIL: $exe does not exist"; exit 1; }
headers=$("$objdump" -p "$exe")
grep -q "file format pei-i386" <<<"$headers" || fail "not an i386 PE: $(grep 'file format' <<<"$headers")"
grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers" || fail "subsystem is not Windows GUI"
grep -Eq "^MajorSubsystemVersion[[:space:]]+4$" <<<"$headers" || fail "major subsystem version is not 4"
grep -Eq "^MinorSubsystemVersion[[:space:]]+0$" <<<"$headers" || fail "minor subsystem version is not 0"

allowed="kernel32.dll user32.dll gdi32.dll advapi32.dll comctl32.dll version.dll ole32.dll shell32.dll msvcrt.dll"
dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | sort -u)
[ -n "$dlls" ] || fail "no import table found"
for dll in $dlls; do
  case " $allowed " in
    *" $dll "*) ;;
    *) fail "imports $dll, which is not a system DLL" ;;
  esac
done

if [ "$failures" -eq 0 ]; then
  echo "PE header of $exe: i386, GUI 4.0, imports: $(echo $dlls)"
  echo "4 passed, 0 failed"
  exit 0
fi
exit 1
