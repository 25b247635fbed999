#!/usr/bin/env bash
# Builds the Debian package of this build folder with CPack, checks its control data and file
# list, unpacks it with dpkg-deb -x into a temporary root and runs the programs from there.
# Usage: package-test.sh BUILD_DIR SOURCE_DIR VERSION    (exit 77: skipped, no dpkg-deb)
set -euo pipefail
build=$1
VX_VERSION=$3
if ! command -v dpkg-deb >/dev/null || ! command -v cpack >/dev/null; then
    echo "dpkg-deb or cpack not found: skipped"
    exit 77
fi
source "$(dirname "$0")/testlib.sh"

cpack --config "$build/CPackConfig.cmake" -B "$work/pkg" >"$work/cpack.log" 2>&1 || {
    cat "$work/cpack.log" >&2
    exit 1
}
debs=("$work"/pkg/vexora_"$VX_VERSION"_*.deb)
[[ -f ${debs[0]} ]] || {
    fail "no package made: $(ls "$work/pkg")"
    finish
}
deb=${debs[0]}

# Control data: name, version and the runtime dependencies.
info=$(dpkg-deb -I "$deb")
expect_line "$(dpkg-deb -f "$deb" Package)" "vexora"
expect_line "$(dpkg-deb -f "$deb" Version)" "$VX_VERSION"
depends=$(dpkg-deb -f "$deb" Depends)
for p in ffmpeg mencoder flvmeta libmediainfo0v5 libsqlite3-0 libjsoncpp25 libssl3 libqt6widgets6 libqt6svg6 qt6-translations-l10n; do
    grep -qE "(^|, )$p( |,|$)" <<<"$depends" || fail "Depends lacks $p: $depends"
done
grep -q '^ Depends: ' <<<"$info" || fail "dpkg-deb -I shows no dependencies"
description=$(dpkg-deb -f "$deb" Description)
[[ $(wc -l <<<"$description") -ge 3 && $description != *";"* ]] || fail "broken description: $description"

# Nothing outside usr/.
outside=$(dpkg-deb -c "$deb" | awk '{print $6}' | grep -vE '^\./(usr/.*)?$' || true)
[[ -z $outside ]] || fail "package files outside usr/: $outside"

root=$work/root
dpkg-deb -x "$deb" "$root"
check_installed_copy "$root/usr"

# Every library the programs link comes from a declared package (or one of theirs); the
# sanitizer runtimes of the test build are the exception.
declared=$(sed -E 's/ *\([^)]*\)//g; s/, /\n/g' <<<"$depends")
indirect=$(for p in $declared; do dpkg-query -W -f='${Depends}, ${Pre-Depends}\n' "$p" 2>/dev/null; done |
    sed -E 's/ *\([^)]*\)//g; s/ *\|[^,]*//g; s/:any//g; s/, */\n/g' | sort -u)
multiarch=$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)
needed=$(for exe in "$root"/usr/bin/* "$root"/usr/lib/vexora/Update "$root"/usr/lib/vexora/codecs/Yamdi-Extend; do
    [[ -L $exe ]] || readelf -d "$exe" 2>/dev/null | sed -nE 's/.*\(NEEDED\).*\[(.*)\]/\1/p'
done | sort -u)
[[ -n $needed ]] || fail "no linked libraries found in the packaged programs"
for lib in $needed; do
    case $lib in libasan.so* | libubsan.so* | ld-linux*) continue ;; esac
    # The library of this architecture, not a same-named one of another (libc6-i386 ...).
    pkg=$(dpkg -S "*/$multiarch/$lib" 2>/dev/null | head -1 | cut -d: -f1) || true
    [[ -z $pkg ]] && continue
    grep -qxF "$pkg" <<<"$declared"$'\n'"$indirect" ||
        fail "the programs need $lib from $pkg, which the package does not depend on"
done

# The unpacked programs run from the temporary root.
run out "$root/usr/bin/VexoraV2" --headless
[[ $rc -eq 0 ]] || fail "VexoraV2 from the package exited $rc: $(cat "$work/err")"
grep -q '^language texts : [1-9]' <<<"$out" || fail "VexoraV2 found no language texts: $out"
[[ ! -e $root/usr/share/vexora/Config.ini.tmp ]] || fail "a write was tried beside the shipped file"

if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic "$root/usr/share/metainfo/com.tolvane.Vexora.metainfo.xml" \
        >"$work/appstream.log" 2>&1 || fail "AppStream entry invalid: $(cat "$work/appstream.log")"
fi
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$root/usr/share/applications/com.tolvane.Vexora.desktop" ||
        fail "desktop entry invalid"
fi

finish
