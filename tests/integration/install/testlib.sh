# Helpers shared by the install and package tests (sourced).
# Every run works in its own temporary folder with its own data and settings folders, so the
# real user's ~/.config and ~/.local/share are never touched.

fails=0
work=$(mktemp -d "${TMPDIR:-/tmp}/vxinstall-XXXXXX")
work=$(cd "$work" && pwd -P) # the programs see their own paths resolved
cleanup() {
    if [[ -z ${VX_KEEP_TEST_FILES:-} ]]; then
        chmod -R u+w "$work" 2>/dev/null || true
        rm -rf "$work"
    else
        echo "kept $work"
    fi
}
trap cleanup EXIT

export VEXORA_DATA_DIR=$work/data
export XDG_CONFIG_HOME=$work/config
export QT_QPA_PLATFORM=offscreen
unset VEXORA_CONFIG
userConfig=$XDG_CONFIG_HOME/Tolvane/VexoraV2/Config.ini

fail() {
    echo "FAIL: $*" >&2
    fails=$((fails + 1))
}

# expect_line TEXT LINE: TEXT holds LINE as a whole line.
expect_line() {
    grep -qxF -- "$2" <<<"$1" || fail "expected the line '$2' in:"$'\n'"$1"
}

# run OUTVAR PROGRAM ARGS...: runs with a time limit, stdout into OUTVAR, stderr into $work/err;
# sets rc.
run() {
    local __var=$1
    shift
    local __out
    set +e
    __out=$(timeout 120 "$@" 2>"$work/err")
    rc=$?
    set -e
    printf -v "$__var" '%s' "$__out"
}

# check_installed_copy PREFIX: the layout, then the programs run from PREFIX/bin.
check_installed_copy() {
    local prefix=$1 out
    for f in bin/VexoraV2 bin/vexora bin/vexora-sim lib/vexora/codecs/tsMuxeR \
        lib/vexora/codecs/ffmpeg lib/vexora/codecs/mencoder lib/vexora/codecs/Yamdi-Extend \
        lib/vexora/codecs/flvmeta \
        share/vexora/Config.ini share/vexora/Ext.data share/vexora/Language/SimpleChinese \
        share/vexora/AudioBkImage/audiobackground.png \
        share/applications/com.tolvane.Vexora.desktop \
        share/icons/hicolor/48x48/apps/com.tolvane.Vexora.png \
        share/icons/hicolor/scalable/apps/com.tolvane.Vexora.svg \
        share/metainfo/com.tolvane.Vexora.metainfo.xml; do
        [[ -e $prefix/$f ]] || fail "$f missing from the installed copy"
    done
    if [[ -n $(find "$prefix" -mindepth 1 -maxdepth 1 ! -name bin ! -name lib ! -name share) ]]; then
        fail "files at the top of the prefix: $(ls "$prefix")"
    fi
    [[ -x $prefix/lib/vexora/codecs/tsMuxeR ]] || fail "tsMuxeR is not executable"
    if [[ -e $build/bin/Update ]]; then
        [[ -x $prefix/lib/vexora/Update && ! -e $prefix/bin/Update ]] || fail "Update is not in lib/vexora/"
    fi
    # The encoder links still reach the system's programs.
    "$prefix/lib/vexora/codecs/ffmpeg" -version >/dev/null 2>&1 || fail "codecs/ffmpeg does not run"
    # Our tagger runs from there with the flvmeta beside it and writes complete metadata.
    local codecs=$prefix/lib/vexora/codecs
    "$codecs/ffmpeg" -nostdin -v error -f lavfi -i testsrc=size=64x48:rate=5 -t 1 -c:v flv -f flv \
        "$work/plain.flv" || fail "codecs/ffmpeg made no FLV"
    run out "$codecs/Yamdi-Extend" -i "$work/plain.flv" -o "$work/tagged.flv" -c "Tolvane Vexora 2.0 test"
    [[ $rc -eq 0 ]] || fail "codecs/Yamdi-Extend exited $rc: $(cat "$work/err")"
    run out "$codecs/flvmeta" --check "$work/tagged.flv"
    [[ $rc -eq 0 && $out == *"0 error(s), 0 warning(s)"* ]] || fail "the tagged file fails the check: $out"

    run out "$prefix/bin/vexora" --version
    [[ $rc -eq 0 && $out == "$VX_VERSION" ]] || fail "vexora --version gave $rc '$out'"

    # First start: no user copy yet, everything from the shipped file.
    run out "$prefix/bin/vexora" config
    [[ $rc -eq 0 ]] || fail "vexora config exited $rc: $(cat "$work/err")"
    expect_line "$out" "configFile: $userConfig"
    expect_line "$out" "configFound: false"
    expect_line "$out" "shippedConfig: $prefix/share/vexora/Config.ini"
    expect_line "$out" "shippedFound: true"
    expect_line "$out" "resourceFolder: $prefix/share/vexora/"
    expect_line "$out" "fileServer: 127.0.0.1:18900"
    expect_line "$out" "versionServer: 127.0.0.1:18070"
    grep -q '^languageTexts: [1-9]' <<<"$out" || fail "no language texts found: $out"
}

finish() {
    if [[ $fails -ne 0 ]]; then
        echo "$fails check(s) failed" >&2
        exit 1
    fi
    echo "all checks passed"
}
