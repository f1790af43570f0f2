#!/usr/bin/env bash
# One architecture's qn-bridge package under Wine, in a prefix of its own,
# beside the engine's package of the same width. The engine's install folder
# value first names another back end's existing install: the bridge's
# installation fails without REPLACEBACKEND=1, saying why in configure.log,
# and succeeds with it. Then an upgrade over an edited configuration (kept),
# a translation through the installed engine, the service and an upstream
# stand-in, the service stopped (the engine's back-end-down error), and the
# removal (service and files gone, configuration kept, the other install named
# again). After each step the engine offers exactly the directions of the
# configuration in force. Where the machine runs no 32-bit programs, the
# 32-bit package is held to the 64-bit one table by table instead.
# Usage: bridge_package_test.sh x86|x64 WORK_DIR ENGINE_EXE BRIDGE_EXE HOST_EXE X64_BRIDGE_EXE
set -uo pipefail
arch=$1 work=$2 engine=$3 bridge=$4 host=$5 x64_bridge=$6
root="$(cd "$(dirname "$0")/../.." && pwd)"

rm -rf "$work"
mkdir -p "$work"
export QN_WINEPREFIX="$work/prefix"
source "$root/scripts/wine-env.sh"
source "$root/tests/installer/package_support.sh"

# What the package holds beside the tables: the custom actions exactly (the
# rollback ones made so by scripts/package, the first running the bridge's
# copy in the Binary table) and the configuration's component never
# overwritten and permanent.
check_package() {
    local msi=$1 exe=$2 log='--log-file "[DATADIR]configure.log"'
    msiinfo extract "$msi" Binary.BridgeCopy | cmp -s - "$exe" ||
        fail "the Binary table of $(basename "$msi") does not hold the bridge"
    diff -u <(printf '%s\t%s\t%s\t%s\n' \
        ConfigureBridge 3090 BridgeExe "configure [QN_REPLACE_ARGUMENT] $log" \
        ConfigureBridgeRollback 3394 BridgeCopy "unconfigure $log" \
        SetReplaceArgument 51 QN_REPLACE_ARGUMENT --replace \
        UnconfigureBridge 3154 BridgeExe "unconfigure $log" \
        UnconfigureBridgeRollback 3410 BridgeExe "configure --replace $log") \
        <(msiinfo export "$msi" CustomAction | tr -d '\r' | tail -n +4 | cut -f1-4 | LC_ALL=C sort) ||
        fail "custom actions of $(basename "$msi")"
    msiinfo export "$msi" Component | tr -d '\r' | grep -q $'^Configuration\t.*\t144\t' ||
        fail "the configuration's component of $(basename "$msi") is not never-overwrite and permanent"
}

if [ "$arch" = x86 ] && [ "$QN_WINE_32BIT" = 0 ]; then
    compare_x86_with_x64 bridge "$bridge" "$x64_bridge"
    check_package "$x86_msi" "$bridge"
    rm -rf "$work"
    exit 0
fi

need "$engine" "$bridge" "$host"
set_width
c="$WINEPREFIX/drive_c"
data="$c/ProgramData/QnBridge"
server_key='HKLM\Software\Quillon\TranslateSkyvale Server'

stand_in_pid=""
stop_stand_in() {
    if [ -n "$stand_in_pid" ]; then
        # A line, not only the end of its input: a Wine process started
        # meanwhile may have inherited descriptor 7 and keep the pipe open.
        echo >&7
        exec 7>&-
        wait "$stand_in_pid"
        stand_in_pid=""
    fi
}
trap 'stop_stand_in; qn_wine_stop; rm -rf "$WINEPREFIX"' EXIT
qn_wine_start || fail "Wine did not start"

# The directions the engine offers (Suppress 0) in the package's view.
offered() {
    wine reg query "$server_key\\Translation Engines" /s /reg:$view | tr -d '\r' |
        awk -F'    ' '/^HKEY/ { if (suppress == "0x0") print from "-" to; suppress = "" }
            $2 == "SourceLanguage" { from = $4 }
            $2 == "TranslationLanguage" { to = $4 }
            $2 == "Suppress" { suppress = $4 }
            END { if (suppress == "0x0") print from "-" to }' | LC_ALL=C sort | paste -sd' '
}
expect_offered() {
    [ "$(offered)" = "$2" ] || fail "$1: the engine offers '$(offered)', not '$2'"
}
# DravikHybridInstallLoc in both views.
install_location() {
    for v in 64 32; do
        wine reg query "$server_key" /v DravikHybridInstallLoc /reg:$v 2>/dev/null | tr -d '\r' |
            awk -F'    ' '$2 == "DravikHybridInstallLoc" { print $4 }'
    done | paste -sd'|'
}
service_state() {
    wine sc query QnBridge 2>/dev/null | tr -d '\r' | awk '$1 == "STATE" { print $4 }'
}
wait_for_state() {
    local tries=60
    until [ "$(service_state)" = "$1" ]; do
        tries=$((tries - 1))
        [ $tries -gt 0 ] || fail "the service is '$(service_state)', not $1"
        sleep 0.5
    done
}
translate() {
    printf '%s\n' "$1" | wine "$host" translate --from de --to en 2>&1 | tr -d '\r'
}
bridge_product="QN translation bridge"

mkdir -p "$c/packages"
engine_msi=$("$root/scripts/package" --product engine --arch "$arch" --exe "$engine" --out "$c/packages") ||
    fail "packaging the engine"
old_msi=$("$root/scripts/package" --product bridge --arch "$arch" --exe "$bridge" --version 0.1.0 \
    --out "$c/packages") || fail "packaging"
new_msi=$("$root/scripts/package" --product bridge --arch "$arch" --exe "$bridge" --out "$c/packages") ||
    fail "packaging"
check_package "$new_msi" "$bridge"
version=$(msiinfo export "$new_msi" Property | tr -d '\r' | awk -F'\t' '$1 == "ProductVersion" { print $2 }')

# Another back end's install with a model for fa-en, named in both views.
mkdir -p "$c/OtherBackend/DravikHMT/Models/fa-en"
for v in 64 32; do
    wine reg add "$server_key" /v DravikHybridInstallLoc /d 'C:\OtherBackend' /f /reg:$v >/dev/null 2>&1 ||
        fail "setting DravikHybridInstallLoc"
done
msiexec_qn /i 'C:\packages\'"$(basename "$engine_msi")" || fail "engine install: exit $?"
expect_offered "the engine alone" "fa-en"

msiexec_qn /i 'C:\packages\'"$(basename "$old_msi")" && fail "installed over another back end without REPLACEBACKEND"
grep -q -- '--replace' "$data/configure.log" || fail "configure.log does not say why the install failed"
[ -z "$(service_state)" ] || fail "the failed install left the service ($(service_state))"
[ "$(install_location)" = 'C:\OtherBackend|C:\OtherBackend' ] ||
    fail "the failed install changed DravikHybridInstallLoc: $(install_location)"
[ -z "$(products "$bridge_product")" ] || fail "the failed install is in the installed programs"

msiexec_qn /i 'C:\packages\'"$(basename "$old_msi")" REPLACEBACKEND=1 || fail "install with REPLACEBACKEND=1: exit $?"
wait_for_state RUNNING
cmp -s "$data/bridge.json" "$root/installer/bridge.json" || fail "the default configuration was not installed"
expect_offered "the default configuration" "ar-en de-en en-ar en-fa fa-en it-en"

# The administrator's configuration: de-en and it-en from the stand-in.
rm -f "$work/stand_in.in" && mkfifo "$work/stand_in.in"
python3 "$root/tests/installer/libretranslate_stand_in.py" <"$work/stand_in.in" >"$work/stand_in.port" &
stand_in_pid=$!
exec 7>"$work/stand_in.in"
tries=50
until [ -s "$work/stand_in.port" ]; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] || fail "the upstream stand-in did not start"
    sleep 0.1
done
cat >"$work/bridge.json" <<EOF
{"upstreams": {"stand-in": {"kind": "libretranslate", "url": "http://127.0.0.1:$(cat "$work/stand_in.port")"}},
 "directions": {"de-en": [{"upstream": "stand-in"}], "it-en": [{"upstream": "stand-in"}]}}
EOF
cp "$work/bridge.json" "$data/bridge.json"

msiexec_qn /i 'C:\packages\'"$(basename "$new_msi")" || fail "upgrade: exit $?"
wait_for_state RUNNING
cmp -s "$data/bridge.json" "$work/bridge.json" || fail "the upgrade overwrote the configuration"
[ "$(products "$bridge_product")" = "$bridge_product$([ "$arch" = x64 ] && echo ' (64-bit)') $version" ] ||
    fail "installed programs list '$(products "$bridge_product")'"
expect_offered "the upgrade" "de-en it-en"
[ "$(translate 'Hallo Welt')" = "HALLO WELT" ] || fail "translated 'Hallo Welt' as '$(translate 'Hallo Welt')'"

wine sc stop QnBridge >/dev/null 2>&1 || fail "sc stop"
wait_for_state STOPPED
! (exec 3<>/dev/tcp/127.0.0.1/11000) 2>/dev/null || fail "port 11000 still answers after the stop"
text=$(translate 'Hallo Welt')
[[ $text == *"back end down"* ]] || fail "with the service stopped the host said '$text'"

msiexec_qn /x 'C:\packages\'"$(basename "$new_msi")" || fail "uninstall: exit $?"
[ -z "$(service_state)" ] || fail "the uninstall left the service"
[ ! -e "$c/$program_files/QN translation bridge" ] || fail "the uninstall left the bridge's folder"
cmp -s "$data/bridge.json" "$work/bridge.json" || fail "the uninstall did not keep the configuration"
[ "$(install_location)" = 'C:\OtherBackend|C:\OtherBackend' ] ||
    fail "the uninstall did not put DravikHybridInstallLoc back: $(install_location)"
expect_offered "the uninstall" "fa-en"
[ -z "$(products "$bridge_product")" ] || fail "the uninstall left the bridge in the installed programs"

trap - EXIT
stop_stand_in
qn_wine_stop
rm -rf "$work"
