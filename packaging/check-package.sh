#!/usr/bin/env bash
# Builds the .deb from an already built tree and checks that a teacher's
# install gets a working menu entry: valid metadata, the declared dependencies,
# and every file at the path the desktop and software centres look for it.
#
# Usage: check-package.sh SOURCE_DIR BUILD_DIR APP_ID EXECUTABLE
set -euo pipefail

src=$1 build=$2 id=$3 exe=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in desktop-file-validate appstreamcli cpack dpkg-deb; do
    command -v "$tool" >/dev/null \
        || fail "$tool is not installed (desktop-file-utils, appstream, cmake, dpkg)"
done
[[ -x $exe ]] || fail "$exe is missing: build the project before running this test"

desktop-file-validate "$src/$id.desktop" || fail "desktop-file-validate rejects $id.desktop"
appstreamcli validate --no-net "$src/$id.metainfo.xml" \
    || fail "appstreamcli rejects $id.metainfo.xml"

scratch=$build/package-check
rm -rf "$scratch"
mkdir -p "$scratch"
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log" >&2; fail "cpack -G DEB failed"; }
debs=("$scratch"/out/*.deb)
[[ ${#debs[@]} -eq 1 && -f ${debs[0]} ]] || fail "expected one .deb in $scratch/out"
deb=${debs[0]}

[[ $(dpkg-deb -f "$deb" Package) == quiltaro ]] || fail "package is not named quiltaro"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for dep in libqt6widgets6 libqt6gui6 libqt6core6 libqt6svg6 qt6-qpa-plugins \
           fonts-liberation2 fonts-dancingscript fonts-wine; do
    grep -Eq "(^|[ ,|])$dep([ ,(]|$)" <<<"$depends" || fail "Depends lacks $dep"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
[[ -x $root/usr/bin/quiltaro ]] || fail "usr/bin/quiltaro missing or not executable"
desktop=$root/usr/share/applications/$id.desktop
icon=$root/usr/share/icons/hicolor/scalable/apps/$id.svg
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
for f in "$desktop" "$icon" "$metainfo"; do
    [[ -f $f ]] || fail "${f#$root/} is not in the package"
done
cmp -s "$icon" "$src/../assets/emblem.svg" || fail "the installed icon is not the emblem"

# The menu entry must launch the installed binary and name the installed icon,
# and the metainfo must point at that entry, or the software centre hides it.
grep -qx 'Exec=quiltaro' "$desktop" || fail "Exec= does not launch quiltaro"
grep -qx "Icon=$id" "$desktop" || fail "Icon= does not name $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $id.desktop"

echo "OK: $(basename "$deb")"
