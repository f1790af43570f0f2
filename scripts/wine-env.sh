# Sourced by the scripts that run Windows programs under Wine.
# One headless prefix inside the build folder; a persistent wineserver so that
# each program start is cheap; Wine's services started with no pipe attached so
# that CTest or a shell pipeline never waits on them.

qn_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# Whether this machine runs 32-bit programs, decided once and passed on to
# every child (Windows programs see it too): where the kernel has no 32-bit
# mode, Wine's 32-bit loader fails with "Exec format error". QN_WINE_32BIT=0
# takes the 64-bit-only path on any machine.
if [ "${QN_WINE_32BIT:-}" != 0 ] && [ "${QN_WINE_32BIT:-}" != 1 ]; then
    if /usr/lib/wine/wine --version >/dev/null 2>&1; then
        QN_WINE_32BIT=1
    else
        QN_WINE_32BIT=0
        QN_WINE_32BIT_WHY="this machine runs no 32-bit programs (/usr/lib/wine/wine does not start)"
    fi
fi
export QN_WINE_32BIT
if [ "$QN_WINE_32BIT" = 1 ]; then
    QN_WINE_32BIT_WHY=""
else
    QN_WINE_32BIT_WHY="${QN_WINE_32BIT_WHY:-QN_WINE_32BIT=0 takes the 64-bit-only path}"
fi
export QN_WINE_32BIT_WHY

# The loader every Wine call uses: scripts/wine-bin/wine (first on PATH, also
# for wineboot, msiexec and regedit, which call wine-stable) runs it. Debian's
# launcher always picks the 32-bit loader when it is installed, so the 64-bit
# path names the 64-bit one and tells Wine to start it for every process. The
# 64-bit path has a prefix of its own: it has no 32-bit half.
if [ "$QN_WINE_32BIT" = 1 ]; then
    export QN_WINE_LOADER=/usr/lib/wine/wine
    unset WINELOADER
    qn_prefix_suffix=""
else
    export QN_WINE_LOADER=/usr/lib/wine/wine64
    export WINELOADER=$QN_WINE_LOADER
    qn_prefix_suffix="-64"
fi
case ":$PATH:" in
    *":$qn_root/scripts/wine-bin:"*) ;;
    *) export PATH="$qn_root/scripts/wine-bin:$PATH" ;;
esac

# The servers this machine can run under Wine, for the messages of the scripts.
qn_wine_kind() {
    if [ "$QN_WINE_32BIT" = 1 ]; then
        echo "this machine runs 32-bit programs: the 32-bit and the 64-bit server run"
    else
        echo "$QN_WINE_32BIT_WHY: only the 64-bit server runs"
    fi
}

export WINEPREFIX="${QN_WINEPREFIX:-$qn_root/build/wineprefix$qn_prefix_suffix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
unset DISPLAY

# Whether a wineserver serves this prefix: Wine names its socket folder after
# the prefix's device and inode (under /tmp/.wine-UID or /tmp/wine-XXXXXX).
qn_wineserver_running() {
    local id
    id=$(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null) || return 1
    id=$(printf 'server-%x-%x' $id)
    compgen -G "/tmp/.wine-$(id -u)/$id/socket" >/dev/null ||
        compgen -G "/tmp/wine-*/$id/socket" >/dev/null
}

qn_wine_start() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    # Wine's server and services outlive this call: they must not inherit the
    # lock's descriptor (9>&-), or the lock would be held for ever.
    (
        # Nor may any descriptor the caller passed down: a shared lock taken
        # with flock(1) around a test run would be held by the persistent
        # wineserver, and so for ever.
        for fd in /proc/$BASHPID/fd/*; do
            fd=${fd##*/}
            case $fd in 0 | 1 | 2 | 9) ;; *) eval "exec $fd>&-" ;; esac
        done
        flock 9
        if [ ! -f "$WINEPREFIX/.qn-ready" ]; then
            # Through the 64-bit loader wineboot complains that the 32-bit
            # half is missing and may fail, yet the prefix is usable: judge
            # by the registry it wrote.
            wineboot -u </dev/null >/dev/null 2>&1 9>&-
            wineserver -w </dev/null >/dev/null 2>&1 9>&-
            if [ ! -f "$WINEPREFIX/system.reg" ]; then
                echo "wine-env: wineboot did not create the prefix $WINEPREFIX" >&2
                exit 1
            fi
            # A crashing program ends at once instead of starting the debugger.
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                /v Debugger /d '' /f </dev/null >/dev/null 2>&1 9>&-
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
                /v Debugger /d '' /f /reg:64 </dev/null >/dev/null 2>&1 9>&-
            # Those calls started a server that ends by itself a few seconds
            # after its last client; let it end, so that the persistent one
            # below starts instead of programs racing a server on its way out.
            wineserver -w </dev/null >/dev/null 2>&1 9>&-
            touch "$WINEPREFIX/.qn-ready"
        fi
        if ! qn_wineserver_running; then
            wineserver -p </dev/null >/dev/null 2>&1 9>&-
            wine cmd /c exit 0 </dev/null >/dev/null 2>&1 9>&-
        fi
    ) 9>"$WINEPREFIX.lock"
}

qn_wine_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
}
