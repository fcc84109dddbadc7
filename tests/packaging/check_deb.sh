#!/usr/bin/env bash
# Makes the Debian package from a finished build in a temporary folder and checks its name,
# control fields, files, desktop entry, metainfo file and icons, and that lintian finds no error.
#   bash tests/packaging/check_deb.sh <build folder> <version>
set -euo pipefail
build="$1" version="$2" id=org.tarnwick.FennickPlanner
for tool in cpack dpkg-deb dpkg-shlibdeps lintian appstreamcli desktop-file-validate file; do
    command -v "$tool" >/dev/null || { echo "SKIP: no $tool (bash tools/setup.sh test installs it)"; exit 77; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >cpack.log 2>&1) || { cat "$work/cpack.log"; exit 1; }
deb="$work/fennick-planner_${version}_amd64.deb"
[ -f "$deb" ] || { echo "FAIL: no $(basename "$deb")"; exit 1; }

# Control fields; the dependencies named by hand (loaded at run time), then found by dpkg-shlibdeps.
for check in "Package=fennick-planner" "Version=$version" "Architecture=amd64" "Section=misc"; do
    [ "$(dpkg-deb -f "$deb" "${check%%=*}")" = "${check#*=}" ] || fail "${check%%=*} is not ${check#*=}"
done
[[ "$(dpkg-deb -f "$deb" Maintainer)" =~ ^[^\<]+\ \<[^@]+@[^\>]+\>$ ]] || fail "Maintainer: $(dpkg-deb -f "$deb" Maintainer)"
[ "$(dpkg-deb -f "$deb" Description | wc -l)" -ge 3 ] || fail "the Description has no long text"
depends=", $(dpkg-deb -f "$deb" Depends),"
for package in libqt6sql6-sqlite fonts-liberation libqt6widgets6 libsqlite3-0 libc6; do
    [[ "$depends" =~ ,\ $package[\ ,] ]] || fail "Depends lacks $package:$depends"
done

# The files, with their modes.
contents="$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $1 " " $6}')"
sizes=(16 22 24 32 48 64 128 256)
expected=("-rwxr-xr-x ./usr/bin/fennick-planner")
for f in fennick-planner/dbBlank.mdb fennick-planner/optional-files.txt "applications/$id.desktop" \
    "metainfo/$id.metainfo.xml" man/man1/fennick-planner.1.gz doc/fennick-planner/copyright \
    doc/fennick-planner/changelog.gz "icons/hicolor/scalable/apps/$id.svg"; do
    expected+=("-rw-r--r-- ./usr/share/$f")
done
for size in "${sizes[@]}"; do
    expected+=("-rw-r--r-- ./usr/share/icons/hicolor/${size}x$size/apps/$id.png")
done
diff <(printf '%s\n' "${expected[@]}" | sort) <(sort <<<"$contents") || fail "the package holds other files than these"

# The unpacked files, checked by the desktop's own validators.
dpkg-deb -x "$deb" "$work/root"
share="$work/root/usr/share"
desktop-file-validate "$share/applications/$id.desktop" || fail "desktop-file-validate"
for line in "Icon=$id" "Exec=fennick-planner" "Categories=Office;ProjectManagement;"; do
    grep -qxF "$line" "$share/applications/$id.desktop" || fail "the desktop entry lacks $line"
done
appstreamcli validate --no-net "$share/metainfo/$id.metainfo.xml" || fail "appstreamcli validate"
grep -q "<release version=\"$version\"" "$share/metainfo/$id.metainfo.xml" || fail "metainfo lacks release $version"
for size in "${sizes[@]}"; do
    [[ "$(file -b "$share/icons/hicolor/${size}x${size}/apps/$id.png")" == "PNG image data, $size x $size,"* ]] ||
        fail "the ${size}x$size icon is not a PNG of that size"
done
[ "$("$work/root/usr/bin/fennick-planner" --version)" = "Fennick Planner $version" ] || fail "--version"

lintian --tag-display-limit 0 "$deb" 2>&1 | tee "$work/lintian.log"
! grep -q '^E: ' "$work/lintian.log" || fail "lintian reports errors"
[ "$failures" -eq 0 ] || { echo "$failures check(s) failed"; exit 1; }
echo "$(basename "$deb") passed"
