#!/usr/bin/env bash
# One architecture's installer package under Wine, in a prefix of its own:
# install, uninstall, then an upgrade from an older package. After each, the
# server's registry keys must equal what its own /RegServer or /UnregServer
# writes from the same folder, and the host tool must translate through the
# installed server (test back end on the engine's port). Where the machine
# runs no 32-bit programs, the 32-bit package is held to the 64-bit one table
# by table instead. An installation made to fail after /RegServer must leave
# nothing behind. The other failures are checked in the tables only: Wine's
# msiexec cannot put back what an uninstallation removed, and commits the
# removal of a replaced product at once.
# Usage: package_test.sh x86|x64 WORK_DIR SERVER_EXE HOST_EXE BACKEND_EXE X64_SERVER_EXE
set -uo pipefail
arch=$1 work=$2 server=$3 host=$4 backend=$5 x64_server=$6
root="$(cd "$(dirname "$0")/../.." && pwd)"


rm -rf "$work"
mkdir -p "$work"
export QN_WINEPREFIX="$work/prefix"
source "$root/scripts/wine-env.sh"
source "$root/tests/installer/package_support.sh"

# The registration actions and their undo as Windows Installer is to run them:
# deferred, as the system, exe from the installed file; each rollback action
# (rollback, in script, no impersonation, return ignored: 3410, or 3394 for
# /UnregServer from the server's copy in the Binary table, which works also
# once the installed file is gone) right before the action it undoes and under
# its condition, inside the transaction that also holds the removal of a
# replaced product, so that a failed installation, uninstallation or upgrade
# leaves the registration as it found it.
check_rollback_actions() {
    local msi=$1 exe=$2
    msiinfo extract "$msi" Binary.ServerCopy | cmp -s - "$exe" ||
        fail "the Binary table of $(basename "$msi") does not hold the server"
    diff -u <(printf '%s\t%s\t%s\t%s\n' RegisterServer 3090 ServerExe /RegServer \
        RegisterServerRollback 3394 ServerCopy /UnregServer \
        UnregisterServer 3154 ServerExe /UnregServer \
        UnregisterServerRollback 3410 ServerExe /RegServer) \
        <(msiinfo export "$msi" CustomAction | tr -d '\r' | tail -n +4 | cut -f1-4 | LC_ALL=C sort) ||
        fail "custom action types of $(basename "$msi")"
    msiinfo export "$msi" InstallExecuteSequence | tr -d '\r' | tail -n +4 | sort -t$'\t' -k3,3n |
        awk -F'\t' '{ seq[$1] = $3; cond[$1] = $2; before[$1] = last; last = $1 }
            function paired(rollback, action) {
                if (before[action] != rollback || cond[rollback] != cond[action] ||
                    seq[rollback] <= seq["InstallInitialize"] || seq[action] >= seq["InstallFinalize"])
                    bad = bad " " rollback
            }
            END {
                paired("RegisterServerRollback", "RegisterServer")
                paired("UnregisterServerRollback", "UnregisterServer")
                if (seq["RemoveExistingProducts"] <= seq["InstallInitialize"] ||
                    seq["RemoveExistingProducts"] >= seq["InstallFinalize"])
                    bad = bad " RemoveExistingProducts"
                if (bad) { print "out of place:" bad; exit 1 }
            }' || fail "rollback actions of $(basename "$msi")"
}

if [ "$arch" = x86 ] && [ "$QN_WINE_32BIT" = 0 ]; then
    compare_x86_with_x64 engine "$server" "$x64_server"
    check_rollback_actions "$x86_msi" "$server"
    msiextract -C "$work/files" "$x86_msi" >/dev/null || fail "msiextract"
    cmp "$work/files/Program Files/Vorla Hybrid Engine/Vorla Hybrid Engine.exe" "$server" ||
        fail "the package does not hold the 32-bit server"
    rm -rf "$work"
    exit 0
fi

need "$server" "$host" "$backend"
set_width
c="$WINEPREFIX/drive_c"
install_dir="$c/$program_files/Vorla Hybrid Engine"
exe_win="C:\\$program_files\\Vorla Hybrid Engine\\Vorla Hybrid Engine.exe"

backend_pid=""
stop_backend() {
    if [ -n "$backend_pid" ]; then
        # Enter, not the end of its input: a Wine process started meanwhile
        # (explorer.exe /desktop) may have inherited descriptor 7 and keep
        # the pipe open for ever.
        echo >&7
        exec 7>&-
        wait "$backend_pid"
        backend_pid=""
    fi
}
# The prefix takes over a gigabyte: it goes, the logs and snapshots stay.
trap 'stop_backend; qn_wine_stop; rm -rf "$WINEPREFIX"' EXIT
qn_wine_start || fail "Wine did not start"

# The server's keys in this architecture's registry view (or the one given),
# one line per key and per value; the installer's own bookkeeping under
# Classes\Installer is not the server's.
snapshot() {
    for key in 'HKLM\Software\Classes' 'HKLM\Software\Quillon'; do
        rm -f "$c/snapshot.reg"
        # Software\Quillon is missing until the first registration.
        wine reg export "$key" 'C:\snapshot.reg' /y /reg:${1:-$view} >/dev/null 2>&1 &&
            iconv -f UTF-16LE -t UTF-8 "$c/snapshot.reg"
    done | tr -d '\r' | sed -e 's/^\xEF\xBB\xBF//' -e ':a' -e '/\\$/{N;s/\\\n *//;ba}' |
        awk '/^\[/ { key = $0; print; next } NF && !/^Windows Registry/ { print key " " $0 }' |
        grep -v '^\[HKEY_LOCAL_MACHINE\\Software\\Classes\\Installer[]\\]' | LC_ALL=C sort
}
expect_registry() {
    snapshot >"$work/actual.txt"
    diff -u "$work/$1" "$work/actual.txt" || fail "$2: the registry is not what $1 holds"
}
expect_installed() {
    local what=$1
    expect_registry registered.txt "$what"
    cmp -s "$install_dir/Vorla Hybrid Engine.exe" "$server" || fail "$what: server not installed"
    [ "$(products Vorla)" = "$product $version" ] ||
        fail "$what: installed programs list '$(products Vorla)', not '$product $version'"
    local text
    text=$(printf 'Hallo Welt\n' | wine "$host" translate --from de --to en 2>&1 | tr -d '\r')
    [ "$text" = "hello world" ] || fail "$what: the host tool translated 'Hallo Welt' as '$text'"
}

# Models for de-en only: Configure marks the other eleven directions.
mkdir -p "$c/Dravik/DravikHMT/Models/de-en"

# What the server itself writes from the installed place, and leaves behind.
mkdir -p "$install_dir"
cp "$server" "$install_dir/"
wine "$exe_win" /RegServer </dev/null || fail "/RegServer of the server itself: exit $?"
snapshot >"$work/registered.txt"
wine "$exe_win" /UnregServer </dev/null || fail "/UnregServer of the server itself: exit $?"
snapshot >"$work/unregistered.txt"
rm -rf "$install_dir"
[ "$(grep -c '"Suppress"=dword:00000000' "$work/registered.txt")" = 1 ] &&
    [ "$(grep -c '"Suppress"=dword:00000001' "$work/registered.txt")" = 11 ] ||
    fail "/RegServer wrote no Suppress values"

mkdir -p "$c/packages"
old_msi=$("$root/scripts/package" --product engine --arch "$arch" --exe "$server" --version 0.1.0 --out "$c/packages") ||
    fail "packaging"
new_msi=$("$root/scripts/package" --product engine --arch "$arch" --exe "$server" --out "$c/packages") || fail "packaging"
check_rollback_actions "$new_msi" "$server"
old='C:\packages\'$(basename "$old_msi")
new='C:\packages\'$(basename "$new_msi")
property() {
    msiinfo export "$new_msi" Property | tr -d '\r' | awk -F'\t' -v name="$1" '$1 == name { print $2 }'
}
version=$(property ProductVersion)
product=$(property ProductName)

rm -f "$work/backend.in"
mkfifo "$work/backend.in"
wine "$backend" <"$work/backend.in" >"$work/backend.log" 2>&1 &
backend_pid=$!
exec 7>"$work/backend.in"
tries=150
until grep -q 'Test back end on' "$work/backend.log"; do
    tries=$((tries - 1))
    [ $tries -gt 0 ] && kill -0 "$backend_pid" 2>/dev/null ||
        fail "test back end did not start: $(cat "$work/backend.log")"
    sleep 0.2
done

# A failed installation: a copy of the package with a deferred action after
# /RegServer that fails (3106: exe in a folder, in script, no impersonation,
# return checked). The rollback leaves the registry as /UnregServer leaves it,
# and none of the keys registration adds (class, server, type library and its
# interfaces, engines) in the other view either (the system registers a
# library's interfaces in both).
failing_msi="$c/packages/failing.msi"
cp "$new_msi" "$failing_msi"
msibuild "$failing_msi" -q "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`)
    VALUES ('FailAfterRegistering', 3106, 'TARGETDIR', 'cmd.exe /c exit 1')" &&
    msibuild "$failing_msi" -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`)
    VALUES ('FailAfterRegistering', 'NOT REMOVE~=\"ALL\"', 4101)" || fail "making the failing package"
msiexec_qn /i 'C:\packages\failing.msi' && fail "the failing package installed"
expect_registry unregistered.txt "failed install"
other_view=$((96 - view))
left=$(snapshot $other_view | grep -Fxf <(LC_ALL=C comm -13 <(grep -x '\[.*\]' "$work/unregistered.txt") \
    <(grep -x '\[.*\]' "$work/registered.txt")))
[ -z "$left" ] || fail "failed install: the $other_view-bit view holds $left"
[ ! -e "$install_dir" ] || fail "failed install left $install_dir"
[ -z "$(products Vorla)" ] || fail "failed install left '$(products Vorla)' in the installed programs"

msiexec_qn /i "$new" || fail "install: exit $?"
expect_installed install

msiexec_qn /x "$new" || fail "uninstall: exit $?"
expect_registry unregistered.txt uninstall
[ ! -e "$install_dir" ] || fail "uninstall left $install_dir"
[ -z "$(products Vorla)" ] || fail "uninstall left '$(products Vorla)' in the installed programs"

msiexec_qn /i "$old" || fail "install of 0.1.0: exit $?"
msiexec_qn /i "$new" || fail "upgrade: exit $?"
expect_installed upgrade
# Going back is refused: 1603, seen here as its low byte.
msiexec_qn /i "$old"
status=$?
[ $status = $((1603 % 256)) ] || fail "the older package over the newer one: exit $status, not 1603"
[ "$(products Vorla)" = "$product $version" ] || fail "the refused downgrade changed the installed programs"

trap - EXIT
stop_backend
qn_wine_stop
rm -rf "$work"
