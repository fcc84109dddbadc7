#!/usr/bin/env bash
# Builds the Debian package from a finished build folder in a temporary folder and checks it:
# name, control fields and dependencies, the files it holds, the desktop entry, the metainfo
# file, the icons, and lintian (no errors).
#   bash tests/packaging/check_deb.sh <build folder> <version>
set -euo pipefail

build="$1"
version="$2"
app_id=org.tarnwick.FennickPlanner

for tool in cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli desktop-file-validate file; do
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is missing (bash tools/setup.sh test installs it)"
        exit 77
    fi
done

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1) || {
    cat "$work/cpack.log"
    echo "FAIL: cpack could not build the package"
    exit 1
}
deb="$work/fennick-planner_${version}_amd64.deb"
[ -f "$deb" ] || { ls "$work"; echo "FAIL: $deb was not made"; exit 1; }

# Control fields.
field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = fennick-planner ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)'"
[ "$(field Architecture)" = amd64 ] || fail "Architecture is '$(field Architecture)'"
[ -n "$(field Section)" ] || fail "no Section"
[[ "$(field Maintainer)" =~ ^[^\<]+\ \<[^@\>]+@[^\>]+\>$ ]] || fail "Maintainer is '$(field Maintainer)'"
[ "$(field Description | wc -l)" -ge 3 ] || fail "the Description has no long text"
depends="$(field Depends)"
# Loaded at run time (named by hand), then libraries found by dpkg-shlibdeps.
for package in libqt6sql6-sqlite fonts-liberation libqt6widgets6 libqt6sql6 libsqlite3-0 libc6; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "Depends lacks $package: $depends"
done

# The files.
contents="$(dpkg-deb -c "$deb" | awk '{print $1 " " $6}')"
expect() {
    grep -qx -- "$1 ./$2" <<<"$contents" || fail "the package lacks $2 ($1)"
}
expect -rwxr-xr-x usr/bin/fennick-planner
expect -rw-r--r-- usr/share/fennick-planner/dbBlank.mdb
expect -rw-r--r-- usr/share/fennick-planner/optional-files.txt
expect -rw-r--r-- "usr/share/applications/$app_id.desktop"
expect -rw-r--r-- "usr/share/metainfo/$app_id.metainfo.xml"
expect -rw-r--r-- usr/share/man/man1/fennick-planner.1.gz
expect -rw-r--r-- usr/share/doc/fennick-planner/copyright
expect -rw-r--r-- usr/share/doc/fennick-planner/changelog.gz
expect -rw-r--r-- "usr/share/icons/hicolor/scalable/apps/$app_id.svg"
sizes=(16 22 24 32 48 64 128 256)
for size in "${sizes[@]}"; do
    expect -rw-r--r-- "usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
done
# Nothing of the build or tests slips in.
unexpected="$(grep -vE ' \./usr/(bin/fennick-planner|share/(fennick-planner|applications|metainfo|man|doc|icons)(/.*)?|bin/|share/)?$' <<<"$contents" || true)"
[ -z "$unexpected" ] || fail "unexpected files: $unexpected"

# The unpacked files, checked by the desktop's own validators.
root="$work/root"
dpkg-deb -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/$app_id.desktop" || fail "desktop-file-validate"
grep -qx "Icon=$app_id" "$root/usr/share/applications/$app_id.desktop" || fail "the desktop entry names another icon"
grep -qx "Exec=fennick-planner" "$root/usr/share/applications/$app_id.desktop" || fail "the desktop entry runs another program"
grep -qE '^Categories=(.*;)?Office;(.*;)?ProjectManagement;' "$root/usr/share/applications/$app_id.desktop" ||
    fail "the desktop entry is not in Office;ProjectManagement"
appstreamcli validate --no-net "$root/usr/share/metainfo/$app_id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$root/usr/share/metainfo/$app_id.metainfo.xml" ||
    fail "the metainfo file does not list release $version"
for size in "${sizes[@]}"; do
    png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$app_id.png"
    [[ "$(file -b "$png")" == "PNG image data, $size x $size,"* ]] || fail "$png is $(file -b "$png")"
done
[ "$("$root/usr/bin/fennick-planner" --version)" = "Fennick Planner $version" ] ||
    fail "--version of the packaged program prints '$("$root/usr/bin/fennick-planner" --version)'"

# Lintian: no errors; the remaining tags are printed for the log.
lintian --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || true
cat "$work/lintian.log"
if grep -q '^E: ' "$work/lintian.log"; then
    fail "lintian reports errors"
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed"
    exit 1
fi
echo "package $(basename "$deb") passed"
