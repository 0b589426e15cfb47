#!/usr/bin/env bash
# Builds the release package dist/zorvat-VERSION-win32.zip: the shipped
# programs and libraries with the command list and keyword file beside them,
# the documentation, the examples, the licence and the editor extension.
# VERSION is the one in the file VERSION. The programs come from the
# profile-guided, link-time optimised build (tools/build-release-pgo.sh);
# with ZORVAT_RELEASE_PGO=0 from the plain Release build the tests use
# (the test command packages that one, to stay as quick as it was).
#   tools/release.sh
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
cd "$repo"
version=$(tr -d ' \r\n' < VERSION)
name=zorvat-$version-win32
tools/setup.sh
if [ "${ZORVAT_RELEASE_PGO:-1}" = 0 ]; then
  tools/build.sh windows >/dev/null
  bin=build/windows/bin
else
  bin=$(tools/build-release-pgo.sh | tail -n 1)
fi
binaries=(zorvat.exe Zorvat.dll Zorvat_Compiler.dll ZorvatEx.exe)
# The dialog library ships once it is built.
[ -f "$bin/Tovalind.dll" ] && binaries+=(Tovalind.dll)

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
root=$stage/$name
mkdir -p "$root/docs" "$root/examples" "$root/editors"
for f in "${binaries[@]}" Commands.txt CompilerKeywords.txt CommandDescriptions.txt; do
  cp "$bin/$f" "$root/"
done
cp docs/*.md "$root/docs/"
cp README.md "$root/docs/README.md"
cp examples/*.zvs "$root/examples/"
cp LICENSE "$root/LICENSE.txt"
tools/editor-test.sh "$root/editors/zorvat-$version.vsix" >/dev/null

mkdir -p dist
rm -f "dist/$name.zip"
(cd "$stage" && zip -qr -X "$repo/dist/$name.zip" "$name")
echo "dist/$name.zip"
