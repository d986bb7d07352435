#!/usr/bin/env bash
# make install into a staging folder (DESTDIR), as a package would: the tree
# holds what an installed ZORVIK consists of and nothing else; the desktop
# entry and metainfo pass their validators; the manual pages document every
# option the programs know; the installed zorvik-cli decodes as the built
# one, a JPEG through its Qt module too; and the installed zorvik finds its
# data in share/zorvik and keeps its options in the user's folder, never
# beside itself.
#
# usage: InstallTest.sh BUILD_DIR SOURCE_DIR PICTURE LIBDIR
set -euo pipefail

build=$1 source=$2 picture=$3 libdir=$4
id=io.github.zorvik.Zorvik
stage=$(mktemp -d)
app=
cleanup() {
    [ -z "$app" ] || kill "$app" 2>/dev/null || true
    rm -rf "$stage"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$stage/root
DESTDIR=$root cmake --install "$build" --prefix /usr >"$stage/install.log" 2>&1 ||
    fail "cmake --install failed: $(cat "$stage/install.log")"

# The tree, exactly. Translations (*.qm) may join the data folder.
expected=(
    usr/bin/zorvik
    usr/bin/zorvik-cli
    usr/$libdir/zorvik/qt-pictures.so
    usr/share/zorvik/camera.wav
    usr/share/applications/$id.desktop
    usr/share/metainfo/$id.metainfo.xml
    usr/share/icons/hicolor/scalable/apps/$id.svg
    usr/share/icons/hicolor/48x48/apps/$id.png
    usr/share/icons/hicolor/128x128/apps/$id.png
    usr/share/icons/hicolor/256x256/apps/$id.png
    usr/share/man/man1/zorvik.1.gz
    usr/share/man/man1/zorvik-cli.1.gz
    usr/share/doc/zorvik/README.md
    usr/share/doc/zorvik/LICENSE
)
while IFS= read -r page; do
    expected+=("usr/share/zorvik/help/${page#"$source/resources/help/"}")
done < <(find "$source/resources/help" -type f)
printf '%s\n' "${expected[@]}" | sort >"$stage/expected.txt"
(cd "$root" && find . \( -type f -o -type l \) | sed 's|^\./||' |
    grep -v '^usr/share/zorvik/translations/[^/]*\.qm$' | sort) >"$stage/found.txt"
diff -u "$stage/expected.txt" "$stage/found.txt" >&2 || fail "the installed tree differs (- expected, + found)"
[ -s "$root/usr/share/zorvik/help/index.html" ] || fail "no help index"
[ -s "$root/usr/share/zorvik/translations/zorvik_en.qm" ] || fail "no English translation"
for program in zorvik zorvik-cli; do
    [ -x "$root/usr/bin/$program" ] || fail "usr/bin/$program is not executable"
done

# Each PNG at its size: width and height are bytes 16 to 23 of the header.
for size in 48 128 256; do
    png=$root/usr/share/icons/hicolor/${size}x${size}/apps/$id.png
    read -r width height < <(od -An -tu1 -j16 -N8 "$png" |
        awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
    [ "$width $height" = "$size $size" ] || fail "the $size icon is $width x $height"
done

desktop=$root/usr/share/applications/$id.desktop
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
appstreamcli validate --no-net "$root/usr/share/metainfo/$id.metainfo.xml" >"$stage/as.log" 2>&1 ||
    fail "appstreamcli rejects the metainfo: $(cat "$stage/as.log")"
grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" \
    "$root/usr/share/metainfo/$id.metainfo.xml" || fail "the metainfo launches another desktop entry"
grep -q "<project_license>" "$root/usr/share/metainfo/$id.metainfo.xml" || fail "no licence in the metainfo"

# The manual pages: no formatting warnings, every option of --help described.
for program in zorvik zorvik-cli; do
    page=$root/usr/share/man/man1/$program.1.gz
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$page" 2>&1 >/dev/null) || true
    [ -z "$warnings" ] || fail "$program.1: $warnings"
    text=$(LC_ALL=C MANWIDTH=200 man -l "$page" 2>/dev/null)
    for option in $("$root/usr/bin/$program" --help | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -q -- "$option" <<<"$text" || fail "$program.1 does not describe $option"
    done
done

# The installed command-line decoder reads as the built one, a JPEG (read
# by its Qt module) too.
convert "$picture" -quality 95 "$stage/picture.jpg"
for file in "$picture" "$stage/picture.jpg"; do
    expected_text=$("$build/bin/zorvik-cli" "$file")
    installed_text=$("$root/usr/bin/zorvik-cli" "$file" 2>&1) ||
        fail "the installed zorvik-cli failed on $file: $installed_text"
    [ "$installed_text" = "$expected_text" ] || fail "the installed zorvik-cli read '$installed_text'"
done

# The installed program, writable folder and all (root's case): its options
# appear in XDG_CONFIG_HOME, and nothing joins the programs in usr/bin.
mkdir -m 700 "$stage/runtime"
(cd "$stage" && HOME=$stage/home XDG_CONFIG_HOME=$stage/config XDG_RUNTIME_DIR=$stage/runtime \
    LANGUAGE=ja QT_QPA_PLATFORM=offscreen exec "$root/usr/bin/zorvik" >"$stage/zorvik.log" 2>&1) &
app=$!
for ((i = 0; i < 300; i++)); do
    [ -f "$stage/config/zorvik/ZORVIK.ini" ] && break
    kill -0 "$app" 2>/dev/null || fail "the installed zorvik ended: $(cat "$stage/zorvik.log")"
    sleep 0.1
done
[ -f "$stage/config/zorvik/ZORVIK.ini" ] || fail "no ZORVIK.ini in XDG_CONFIG_HOME/zorvik"
kill "$app"
wait "$app" 2>/dev/null || true
app=
[ "$(ls "$root/usr/bin" | tr '\n' ' ')" = "zorvik zorvik-cli " ] ||
    fail "the installed zorvik wrote beside itself: $(ls "$root/usr/bin")"
[ ! -e "$stage/home/.config" ] || fail "the options went to HOME despite XDG_CONFIG_HOME"
echo "InstallTest: ok"
