#!/usr/bin/env bash
# cmake --install into a temporary prefix, then run from there as a user would: the programs
# find their files in share/vexora and lib/vexora, read the shipped Config.ini, and write only
# into the user's own copy. The build tree keeps working as before.
# Usage: install-test.sh BUILD_DIR SOURCE_DIR VERSION
set -euo pipefail
build=$1 source=$2
VX_VERSION=$3
source "$(dirname "$0")/testlib.sh"

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >"$work/install.log" || {
    cat "$work/install.log" >&2
    exit 1
}
touch "$work/installed-stamp"
check_installed_copy "$prefix"

# The main program starts on the shipped configuration and finds its texts.
run out "$prefix/bin/VexoraV2" --headless
[[ $rc -eq 0 ]] || fail "VexoraV2 exited $rc: $(cat "$work/err")"
expect_line "$out" "configuration  : $userConfig"
grep -q '^language texts : [1-9]' <<<"$out" || fail "VexoraV2 found no language texts: $out"

# A write of the file server lands in the user's copy; the shipped file stays as it was.
run out "$prefix/bin/vexora" config --file-server 127.0.0.1:19999
[[ $rc -eq 0 ]] || fail "config --file-server exited $rc: $(cat "$work/err")"
grep -qF "saved in $userConfig" "$work/err" || fail "no 'saved in' note: $(cat "$work/err")"
expect_line "$out" "fileServer: 127.0.0.1:19999"
expect_line "$out" "configFound: true"
cmp -s "$prefix/share/vexora/Config.ini" "$source/resources/Config.ini" || fail "the shipped Config.ini changed"
[[ $(grep -c '=' "$userConfig") -eq 1 ]] || fail "the user copy holds more than the one key: $(cat "$userConfig")"
expect_line "$(cat "$userConfig")" "FileServerIP=127.0.0.1:19999"

# The next start reads the written key from the user's copy and the rest from the shipped file.
run out "$prefix/bin/vexora" config
expect_line "$out" "fileServer: 127.0.0.1:19999"
expect_line "$out" "versionServer: 127.0.0.1:18070"
expect_line "$out" "md5Rule: 4"

# A user copy with one key overrides only that key.
printf '[md5]\nrule=9\n' >"$userConfig"
run out "$prefix/bin/vexora" config --json
grep -qF '"md5Rule": 9' <<<"$out" || fail "the user's md5 rule is not used: $out"
grep -qF '"fileServer": "127.0.0.1:18900"' <<<"$out" || fail "the shipped file server is lost: $out"
grep -qF '"recvnum": 101' <<<"$out" || fail "the shipped recvnum is lost: $out"

# Where the user's copy cannot be written, the write fails loudly and nothing claims success.
echo "not a folder" >"$work/blocker"
run out env XDG_CONFIG_HOME="$work/blocker" "$prefix/bin/vexora" config --file-server 127.0.0.1:18000
[[ $rc -eq 1 ]] || fail "an unwritable user copy gave exit $rc"
grep -qF -- "--file-server not saved: cannot create folder $work/blocker/" "$work/err" ||
    fail "the failure does not say what and where: $(cat "$work/err")"
grep -qF "saved in" "$work/err" && fail "a failed write was reported as saved"
grep -qF "Error :SaveFileServerIpPort: Writer INI file failed. string:127.0.0.1:18000." \
    "$VEXORA_DATA_DIR/Log/log.txt" || fail "the failed write is not in the log"

# --config and VEXORA_CONFIG name one file that is both read and written.
cp "$prefix/share/vexora/Config.ini" "$work/own.ini"
before=$(cat "$userConfig")
run out "$prefix/bin/vexora" --config "$work/own.ini" config --version-server 127.0.0.1:17000
[[ $rc -eq 0 ]] || fail "--config write exited $rc: $(cat "$work/err")"
expect_line "$out" "configFile: $work/own.ini"
expect_line "$out" "shippedConfig: "
expect_line "$(cat "$work/own.ini")" "VerSvrIP=127.0.0.1:17000"
run out env VEXORA_CONFIG="$work/own.ini" "$prefix/bin/vexora" config
expect_line "$out" "versionServer: 127.0.0.1:17000"
expect_line "$out" "md5Rule: 4"
[[ $(cat "$userConfig") == "$before" ]] || fail "--config touched the user's copy"

# An audio file converts from the installed copy: codecs/ from lib/vexora, the background
# picture from share/vexora.
"$prefix/lib/vexora/codecs/ffmpeg" -v error -f lavfi -i sine=frequency=440:duration=1 "$work/tone.wav"
run out "$prefix/bin/vexora" convert --out "$work/converted" "$work/tone.wav"
[[ $rc -eq 0 ]] || fail "convert from the installed copy exited $rc: $(cat "$work/err")"

# Nothing was written inside the prefix.
changed=$(find "$prefix" -newer "$work/installed-stamp")
[[ -z $changed ]] || fail "files written inside the prefix: $changed"

# The build tree still keeps everything beside the programs.
run out "$build/bin/vexora" config
expect_line "$out" "shippedConfig: $build/bin/Config.ini"
expect_line "$out" "resourceFolder: $build/bin/"

finish
