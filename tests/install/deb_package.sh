#!/bin/sh
# Builds the Debian package into a temporary folder, checks its control fields and
# contents, unpacks it into a scratch root and runs the programs from there.
# usage: deb_package.sh BUILD_DIR [CPACK]
set -eu
build=$1
cpack=${2:-cpack}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
if ! (cd "$build" && "$cpack" -G DEB -B "$out") >"$out/cpack.log" 2>&1; then
    cat "$out/cpack.log"
    exit 1
fi

failed=0
fail() { echo "FAIL: $*"; failed=1; }

deb=$out/quillmar_1.0_$(dpkg --print-architecture).deb
[ -f "$deb" ] || { ls "$out"; echo "FAIL: no ${deb##*/}"; exit 1; }

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = quillmar ] || fail "Package: $(field Package)"
[ "$(field Version)" = 1.0 ] || fail "Version: $(field Version)"
[ "$(field Section)" = science ] || fail "Section: $(field Section)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
for package in libc6 libqt6widgets6 libqt6serialport6 libqt6multimedia6 libqt6printsupport6 \
        libqt6httpserver6 libqt6websockets6 \
        qt6-qpa-plugins fonts-wqy-microhei; do
    echo "$depends" | grep -q "\b$package\b" || fail "Depends lacks $package: $depends"
done

dpkg-deb -c "$deb" | awk '{ print $NF }' >"$out/contents"
for file in usr/bin/quillmar usr/bin/quillmar-sim usr/share/quillmar/Boat/BOAT.shp \
        usr/share/applications/org.quillmar.Quillmar.desktop \
        usr/share/metainfo/org.quillmar.Quillmar.metainfo.xml \
        usr/share/icons/hicolor/48x48/apps/quillmar.png \
        usr/share/icons/hicolor/scalable/apps/quillmar.svg \
        usr/share/man/man1/quillmar.1 usr/share/doc/quillmar/99-quillmar-gnss.rules \
        usr/lib/systemd/system/quillmar.service usr/share/quillmar/quillmar.ini; do
    grep -qx "./$file" "$out/contents" || fail "the package lacks /$file"
done
# The service's user and settings are made on installation.
dpkg-deb -e "$deb" "$out/control"
for script in postinst postrm; do
    [ -x "$out/control/$script" ] || fail "the package has no $script"
done
grep -q 'useradd --system' "$out/control/postinst" || fail "postinst makes no quillmar user"

dpkg -x "$deb" "$out/root"
"$out/root/usr/bin/quillmar" --help | grep -q -- '--port' || fail "quillmar --help"
[ "$("$out/root/usr/bin/quillmar" --version)" = "Quillmar 1.0" ] || fail "quillmar --version"
"$out/root/usr/bin/quillmar-sim" --help >/dev/null || fail "quillmar-sim --help"

exit $failed
