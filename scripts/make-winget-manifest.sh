#!/usr/bin/env bash
# Packs a one-volume Tilewright medium into a zip and writes the winget
# manifest set (schema 1.6.0) that installs it:
#   make-winget-manifest.sh --url URL [--version V] [--arch x86|x64] <medium dir> <out dir>
# URL is where the zip will be published; the version defaults to the
# product's (tools/tilewright/CMakeLists.txt), the architecture to x86 (the
# shipped build). Writes
#   <out>/Tilewright-<version>.zip
#   <out>/manifests/t/TilewrightSoftware/Tilewright/<version>/TilewrightSoftware.Tilewright.yaml
#   ... .installer.yaml and .locale.en-US.yaml beside it
# winget unpacks the zip and starts Setup.exe in it with the switches below;
# Setup.exe finds its Setup.dat beside it. Sign the medium first
# (scripts/sign.sh --medium): the zip's hash covers the signed programs.
set -euo pipefail
root="$(dirname "$0")/.."

usage() {
  sed -n '4p' "$0" >&2
  exit 2
}

url="" arch="x86"
version=$(sed -n 's/^ *set(TW_VERSION "\(.*\)")$/\1/p' "$root/tools/tilewright/CMakeLists.txt")
args=()
while [ "$#" -gt 0 ]; do
  case "$1" in
    --url) url="${2:-}"; shift 2 ;;
    --version) version="${2:-}"; shift 2 ;;
    --arch) arch="${2:-}"; shift 2 ;;
    -*) usage ;;
    *) args+=("$1"); shift ;;
  esac
done
[ "${#args[@]}" = 2 ] && [ -n "$url" ] && [ -n "$version" ] || usage
medium="${args[0]}"
out="${args[1]}"
for file in Setup.exe Setup.dat _Uninst.ex_ Data.dat; do
  [ -f "$medium/$file" ] || { echo "make-winget-manifest.sh: $medium is no one-volume medium: no $file" >&2; exit 1; }
done

id="TilewrightSoftware.Tilewright"
dir="$out/manifests/t/TilewrightSoftware/Tilewright/$version"
mkdir -p "$dir"
zip="$(cd "$out" && pwd)/Tilewright-$version.zip"
rm -f "$zip"
# The medium's files at the zip's root, without extra attributes of this machine.
(cd "$medium" && zip -q -X "$zip" Setup.exe Setup.dat _Uninst.ex_ Data.dat)
sha=$(sha256sum "$zip" | awk '{ print toupper($1) }')

# What winget tells the user for each exit code of a silent run (the
# setup's exit-code table: app/SetupUsage.cpp; test_sequence holds the two
# together). 0 is success and is not listed.
return_codes() {
  local code response
  while read -r code response; do
    printf '  - InstallerReturnCode: %s\n    ReturnResponse: %s\n' "$code" "$response"
  done <<'EOF'
5 custom
32 fileInUse
112 diskFull
145 custom
1603 contactSupport
1604 custom
1618 installInProgress
1622 custom
1639 invalidParameter
3010 rebootRequiredToFinish
EOF
}

header() {
  printf '# yaml-language-server: $schema=https://aka.ms/winget-manifest.%s.1.6.0.schema.json\n\n' "$1"
  printf 'PackageIdentifier: %s\nPackageVersion: %s\n' "$id" "$version"
}

{
  header version
  printf 'DefaultLocale: en-US\nManifestType: version\nManifestVersion: 1.6.0\n'
} > "$dir/$id.yaml"

{
  header installer
  cat <<EOF
InstallerType: zip
NestedInstallerType: exe
NestedInstallerFiles:
  - RelativeFilePath: Setup.exe
Scope: machine
ElevationRequirement: elevationRequired
InstallModes:
  - interactive
  - silent
  - silentWithProgress
InstallerSwitches:
  Silent: /S
  SilentWithProgress: /S
  InstallLocation: /DIR="<INSTALLPATH>"
  Log: /LOG="<LOGPATH>"
ExpectedReturnCodes:
$(return_codes)
UpgradeBehavior: install
FileExtensions:
  - tlr
AppsAndFeaturesEntries:
  - DisplayName: Tilewright
    Publisher: Tilewright Software
InstallationMetadata:
  DefaultInstallLocation: '%SystemDrive%\Tilewright'
Installers:
  - Architecture: $arch
    InstallerUrl: $url
    InstallerSha256: $sha
ManifestType: installer
ManifestVersion: 1.6.0
EOF
} > "$dir/$id.installer.yaml"

{
  header defaultLocale
  cat <<'EOF'
PackageLocale: en-US
Publisher: Tilewright Software
PackageName: Tilewright
License: Proprietary
Copyright: Copyright (C) Tilewright Software
ShortDescription: Tile maps for Visual Basic and Delphi programs
Description: The TileView ActiveX control that shows and scrolls tile maps, Mapsmith, the resource editor that draws them into .tlr files, and sample projects for Visual Basic and Delphi.
ManifestType: defaultLocale
ManifestVersion: 1.6.0
EOF
} > "$dir/$id.locale.en-US.yaml"

echo "winget package: $zip (SHA256 $sha)"
echo "winget manifests: $dir"
