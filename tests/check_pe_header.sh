#!/usr/bin/env bash
# The programs' PE headers: the machine, GUI subsystem 4.0, imports bound at
# load time from KERNEL32 and the C runtime only (every other library is
# bound at its first call, once the search is restricted to the system
# directory: a copy of the same name beside the program could replace one
# bound at load time, or one that it loads by name), address space layout
# randomisation and no execution of data (and 64-bit addresses for it in
# 64-bit builds), the program's manifest (resource type 24, id 1): run
# elevated, and the systems from Vista to 11 it knows; and no import
# pointer that names address 0 (binutils leaves so the pointer of a function
# bound at first call that a header declares imported, in 32-bit builds).
#   check_pe_header.sh <objdump> <pei-i386|pei-x86-64> <program.exe>...
set -uo pipefail
objdump="$1"
format="$2"
shift 2
nm="${objdump%objdump}nm"
allowed="kernel32.dll msvcrt.dll"
characteristics="DYNAMIC_BASE NX_COMPAT"
if [ "$format" = pei-x86-64 ]; then characteristics="$characteristics HIGH_ENTROPY_VA"; fi
# Vista, 7, 8, 8.1, 10 and 11.
supported_os="e2011457-1546-43c5-a5fe-008deee3d3f0 35138b9a-5d96-4fbd-8e2d-a2440225f93a
              4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38 1f676c76-80e1-4239-95bb-83d0f6d0da78
              8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a"
failures=0
passed=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() { if "$@"; then passed=$((passed + 1)); return 0; fi; return 1; }

# The text of resource type 24, id 1, read from the file at its offset in
# the resource section; nothing when there is none.
manifest_of() {
  local exe="$1" headers="$2" leaf base section
  leaf=$(awk '/^[0-9a-f]+   Entry: ID:/ { type = $4 }
              /^[0-9a-f]+     Entry: ID:/ { name = $4 }
              /Leaf: Addr:/ && type == "0x000018," && name == "0x000001," { sub(",", "", $4); sub(",", "", $6); print $4, $6; exit }' \
         <<<"$headers")
  [ -n "$leaf" ] || return 0
  base=$(awk '$1 == "ImageBase" { print $2 }' <<<"$headers")
  section=$("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $4, $6 }')
  read -r addr size <<<"$leaf"
  read -r vma offset <<<"$section"
  local start=$(( 0x$offset + addr - (0x$vma - 0x$base) ))
  tail -c +$((start + 1)) "$exe" | head -c $((size))
}

# The import pointers (symbols "__imp_...") whose value in the file is 0,
# or "<no symbols>" when the program has no symbol table to tell.
null_import_pointers() {
  local exe="$1" words=2 addr w1 w2 w3 w4 value type name
  [ "$format" = pei-x86-64 ] || words=1
  local -A line
  while read -r addr w1 w2 w3 w4; do
    line[$((16#$addr))]="$w1 $w2 $w3 $w4"
  done < <("$objdump" -s -j .idata "$exe" | awk 'NF >= 5 && $1 ~ /^[0-9a-f]+$/ { print $1, $2, $3, $4, $5 }')
  local found=0
  while read -r value type name; do
    found=1
    local a=$((16#$value))
    local -a group=(${line[$((a - a % 16))]:-x x x x})
    local g=$(( (a % 16) / 4 ))
    local pointer="${group[$g]}"
    [ "$words" = 1 ] || pointer="$pointer${group[$((g + 1))]:-x}"
    [[ "$pointer" =~ ^0+$ ]] && echo "$name"
  done < <("$nm" "$exe" | awk '$2 == "I" && $3 ~ /^__imp_/')
  [ "$found" = 1 ] || echo "<no symbols>"
}

for exe in "$@"; do
  if [ ! -f "$exe" ]; then fail "$exe does not exist"; continue; fi
  headers=$("$objdump" -p "$exe")
  check grep -q "file format $format" <<<"$headers" || fail "$exe: not $format: $(grep 'file format' <<<"$headers")"
  check grep -Eq "^Subsystem[[:space:]]+00000002" <<<"$headers" || fail "$exe: subsystem is not Windows GUI"
  check grep -Eq "^MajorSubsystemVersion[[:space:]]+4$" <<<"$headers" || fail "$exe: major subsystem version is not 4"
  check grep -Eq "^MinorSubsystemVersion[[:space:]]+0$" <<<"$headers" || fail "$exe: minor subsystem version is not 0"
  for flag in $characteristics; do
    check grep -Eq "^[[:space:]]+$flag$" <<<"$headers" || fail "$exe: DllCharacteristics lack $flag"
  done
  dlls=$(grep "DLL Name:" <<<"$headers" | awk '{print tolower($3)}' | sort -u)
  [ -n "$dlls" ] || fail "$exe: no import table found"
  bad=0
  for dll in $dlls; do
    case " $allowed " in
      *" $dll "*) ;;
      *) fail "$exe binds $dll at load time, not only $allowed"; bad=1 ;;
    esac
  done
  if [ "$bad" = 0 ]; then passed=$((passed + 1)); fi
  manifest=$(manifest_of "$exe" "$headers")
  if [ -z "$manifest" ]; then
    fail "$exe has no manifest (resource type 24, id 1)"
  else
    check grep -q 'level="requireAdministrator"' <<<"$manifest" \
      || fail "$exe: the manifest does not ask for administrator rights"
    for id in $supported_os; do
      check grep -q "<supportedOS Id=\"{$id}\"/>" <<<"$manifest" || fail "$exe: the manifest lacks supportedOS {$id}"
    done
  fi
  null=$(null_import_pointers "$exe")
  check [ -z "$null" ] || fail "$exe: import pointers that name address 0: $(echo $null)"
  echo "PE header of $exe: $format, GUI 4.0, imports: $(echo $dlls), manifest: ${#manifest} bytes"
done

echo "$passed passed, $failures failed"
[ "$failures" -eq 0 ]
