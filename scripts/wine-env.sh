# Sourced by the scripts that run Windows programs under Wine.
# One headless prefix inside the build folder; a persistent wineserver so that
# each program start is cheap; Wine's services started with no pipe attached so
# that CTest or a shell pipeline never waits on them.

qn_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${QN_WINEPREFIX:-$qn_root/build/wineprefix}"
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
        flock 9
        if [ ! -f "$WINEPREFIX/.qn-ready" ]; then
            wineboot -u </dev/null >/dev/null 2>&1 9>&-
            wineserver -w </dev/null >/dev/null 2>&1 9>&-
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
    ) 9>"$(dirname "$WINEPREFIX")/.wineprefix.lock"
}

qn_wine_stop() {
    wineserver -k </dev/null >/dev/null 2>&1 || true
}
