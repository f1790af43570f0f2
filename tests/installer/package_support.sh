# shellcheck shell=bash disable=SC2154
# Shared by the package tests: sourced after scripts/wine-env.sh, with $arch
# set (and $view, the registry view of the package's width, for `products`).

fail() {
    echo "FAIL ($arch): $*" >&2
    exit 1
}
need() {
    for file in "$@"; do
        [ -f "$file" ] || fail "missing $file (scripts/test builds the windows preset first)"
    done
}
# A package's tables with what may differ between builds set aside (GUIDs,
# sizes); with "as-x86", the 64-bit package's own marks (its folder, the 64-bit
# component attribute, its product name) become the 32-bit ones.
tables() {
    local msi=$1 as_x86=${2:-}
    for table in Directory Component Feature FeatureComponents File CustomAction \
        InstallExecuteSequence LaunchCondition Upgrade Registry Property ServiceInstall \
        ServiceControl; do
        echo "== $table"
        msiinfo export "$msi" "$table" 2>&1
    done | sed -E 's/\{[0-9A-F-]{36}\}/{GUID}/g' |
        if [ -n "$as_x86" ]; then
            sed -e 's/ProgramFiles64Folder/ProgramFilesFolder/' -e 's/ (64-bit)//'
        else
            cat
        fi |
        awk -F'\t' -v OFS='\t' -v as_x86="$as_x86" '/^== / { table = $0 }
            table == "== Component" && as_x86 && $4 ~ /^[0-9]+$/ && int($4 / 256) % 2 == 1 { $4 -= 256 }
            table == "== File" && $4 ~ /^[0-9]+$/ { $4 = "size" }
            { print }'
}

# Name and version of each installed product whose name starts with PREFIX,
# from the list of installed programs of the view $view.
products() {
    local prefix=$1
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s /reg:$view |
        tr -d '\r' | awk -F'    ' -v prefix="$prefix" '
            /^HKEY/ { if (index(name, prefix) == 1) print name " " version; name = version = "" }
            $2 == "DisplayName" { name = $4 }
            $2 == "DisplayVersion" { version = $4 }
            END { if (index(name, prefix) == 1) print name " " version }'
}
msiexec_qn() {
    wine msiexec "$@" /qn </dev/null >/dev/null 2>&1
}
