#!/usr/bin/env bash
# Builds the .deb from an already built tree and checks that a teacher's
# install gets a working menu entry: valid metadata, the declared dependencies,
# every file at the path the desktop and software centres look for it, and a
# package Debian's own checker (lintian) finds nothing wrong with.
#
# Usage: check-package.sh SOURCE_DIR BUILD_DIR APP_ID EXECUTABLE
set -euo pipefail

src=$1 build=$2 id=$3 exe=$4

fail() { echo "FAIL: $*" >&2; exit 1; }

for tool in desktop-file-validate appstreamcli cpack dpkg-deb dpkg-shlibdeps lintian man; do
    command -v "$tool" >/dev/null \
        || fail "$tool is not installed (desktop-file-utils, appstream, cmake, dpkg-dev, lintian, man-db)"
done
[[ -x $exe ]] || fail "$exe is missing: build the project before running this test"

# Hints count too: a second main category puts the game twice in some menus.
hints=$(desktop-file-validate "$src/$id.desktop" 2>&1) || true
[[ -z $hints ]] || fail "desktop-file-validate on $id.desktop: $hints"
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
# The libraries come from the binary (shlibdeps); the plugins and fonts that
# Qt loads at run time are declared by hand.
names=$(tr ',|' '\n\n' <<<"$depends" | sed 's/^ *//; s/[ (].*//')
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 libqt6svg6 libxcb1 \
           qt6-qpa-plugins qt6-wayland libqt6sql6-sqlite fonts-liberation2 fonts-dancingscript fonts-wine; do
    grep -qxF "$dep" <<<"$names" || fail "Depends lacks $dep"
done

root=$scratch/root
dpkg-deb -x "$deb" "$root"
# A game, in the games section: the binary in /usr/games, its manual in section 6.
[[ $(dpkg-deb -f "$deb" Section) == games ]] || fail "Section is not games"
[[ -x $root/usr/games/quiltaro ]] || fail "usr/games/quiltaro missing or not executable"
desktop=$root/usr/share/applications/$id.desktop
icon=$root/usr/share/icons/hicolor/scalable/apps/$id.svg
metainfo=$root/usr/share/metainfo/$id.metainfo.xml
manual=$root/usr/share/man/man6/quiltaro.6.gz
doc=$root/usr/share/doc/quiltaro
sql=$root/usr/share/quiltaro/quiltaro-serveur.sql
for f in "$desktop" "$icon" "$metainfo" "$manual" "$doc/copyright" "$doc/changelog.gz" "$sql"; do
    [[ -f $f ]] || fail "${f#$root/} is not in the package"
done
cmp -s "$icon" "$src/../assets/emblem.svg" || fail "the installed icon is not the emblem"
# The server's set-up is the one the program runs: the same file.
cmp -s "$sql" "$src/../server/quiltaro-serveur.sql" || fail "the installed quiltaro-serveur.sql differs"

# The menu entry must launch the installed binary and name the installed icon,
# and the metainfo must point at that entry, or the software centre hides it.
grep -qx 'Exec=quiltaro' "$desktop" || fail "Exec= does not launch quiltaro"
grep -qx "Icon=$id" "$desktop" || fail "Icon= does not name $id"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo" \
    || fail "metainfo does not launch $id.desktop"

# The changelog's latest entry is this version.
version=$(dpkg-deb -f "$deb" Version)
zcat "$doc/changelog.gz" | head -1 | grep -q "^quiltaro ($version) " \
    || fail "the changelog's latest entry is not version $version"
# The manual renders without a warning and covers every option.
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$manual" 2>&1 >/dev/null)
[[ -z $man_warnings ]] || fail "quiltaro(6) renders with warnings: $man_warnings"
LC_ALL=C MANWIDTH=80 man -l "$manual" >"$scratch/manual.txt" 2>/dev/null
for option in --results --export-csv --forget --setup-server --check-server --help; do
    grep -qF -- "$option" "$scratch/manual.txt" || fail "quiltaro(6) does not document $option"
done

# Errors and warnings fail; what lintian only mentions is shown.
status=0
lintian --display-info --fail-on error,warning "$deb" >"$scratch/lintian.log" \
    2>"$scratch/lintian.err" || status=$?
grep -E '^[EWI]:' "$scratch/lintian.log" || true
if [[ $status -ne 0 ]] || grep -Eq '^[EW]:' "$scratch/lintian.log"; then
    cat "$scratch/lintian.err" >&2
    fail "lintian reports errors or warnings (exit status $status)"
fi
echo "OK: $(basename "$deb")"
