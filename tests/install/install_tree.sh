#!/bin/sh
# Installs the build into a temporary prefix and looks through it as a desktop would:
# the programs, their vessel outlines where the program looks for them, the desktop
# entry, icons, AppStream metadata, manual pages and the udev example.
# usage: install_tree.sh BUILD_DIR [CMAKE]
set -eu
build=$1
cmake=${2:-cmake}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null

failed=0
fail() { echo "FAIL: $*"; failed=1; }

for file in bin/quillmar bin/quillmar-sim \
        share/applications/org.quillmar.Quillmar.desktop \
        share/metainfo/org.quillmar.Quillmar.metainfo.xml \
        share/icons/hicolor/scalable/apps/quillmar.svg \
        share/man/man1/quillmar.1 share/man/man1/quillmar-sim.1 \
        share/doc/quillmar/99-quillmar-gnss.rules share/doc/quillmar/README.md; do
    [ -s "$prefix/$file" ] || fail "$file is missing"
done
[ -x "$prefix/bin/quillmar" ] || fail "bin/quillmar is not executable"

# Every outline the build puts beside the program, at <bin>/../share/quillmar/Boat, and
# no Boat folder beside the installed program to hide them.
for shape in "$build"/Boat/*.shp; do
    cmp -s "$shape" "$prefix/bin/../share/quillmar/Boat/${shape##*/}" ||
        fail "share/quillmar/Boat/${shape##*/} is missing or differs"
done
[ ! -e "$prefix/bin/Boat" ] || fail "bin/Boat would be used before share/quillmar/Boat"

# Each PNG icon is as large as its folder says (the width and height in its header).
for n in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${n}x$n/apps/quillmar.png
    size=$(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
        awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }')
    [ "$size" = "${n}x$n" ] || fail "$png is ${size:-missing}, not ${n}x$n"
done

desktop=$prefix/share/applications/org.quillmar.Quillmar.desktop
grep -q '^Exec=quillmar\b' "$desktop" || fail "the desktop entry does not start quillmar"
grep -qx 'Icon=quillmar' "$desktop" || fail "the desktop entry's icon is not quillmar"
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.quillmar.Quillmar.metainfo.xml" \
        >/dev/null || fail "appstreamcli validate"
fi

# The manual pages say what --help says, and groff finds nothing wrong in them.
grep -q 'record\\-folder' "$prefix/share/man/man1/quillmar.1" || fail "quillmar.1 lacks --record-folder"
grep -q 'stall\\-after' "$prefix/share/man/man1/quillmar-sim.1" || fail "quillmar-sim.1 lacks --stall-after"
if command -v groff >/dev/null; then
    for page in "$prefix"/share/man/man1/*.1; do
        warnings=$(groff -man -ww -z "$page" 2>&1) && [ -z "$warnings" ] ||
            fail "${page##*/}: $warnings"
    done
fi

# The installed programs run (no display needed for these).
"$prefix/bin/quillmar" --help | grep -q -- '--record-folder' || fail "quillmar --help"
[ "$("$prefix/bin/quillmar" --version)" = "Quillmar 1.0" ] || fail "quillmar --version"
"$prefix/bin/quillmar-sim" --help | grep -q -- '--rate' || fail "quillmar-sim --help"

exit $failed
