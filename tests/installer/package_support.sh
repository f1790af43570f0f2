# shellcheck shell=bash disable=SC2154,SC2034
# Shared by the package tests: sourced after scripts/wine-env.sh, with $arch
# and $root set (and $view, the registry view of the package's width, for
# `products`; set_width sets it).

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

# The registry view and program folder of the package's width.
set_width() {
    if [ "$arch" = x64 ]; then
        view=64 program_files="Program Files"
    else
        view=32 program_files="Program Files (x86)"
    fi
}

# For machines that run no 32-bit programs: packages PRODUCT from its 32-bit
# and 64-bit executables into $work and holds the 32-bit package to the 64-bit
# one table by table. Sets x86_msi for the caller's own checks.
compare_x86_with_x64() {
    local product=$1 x86_exe=$2 x64_exe=$3 x64_msi
    echo "$QN_WINE_32BIT_WHY: checking the 32-bit package's tables against the 64-bit one's"
    need "$x86_exe" "$x64_exe"
    x86_msi=$("$root/scripts/package" --product "$product" --arch x86 --exe "$x86_exe" --out "$work") ||
        fail "packaging"
    x64_msi=$("$root/scripts/package" --product "$product" --arch x64 --exe "$x64_exe" --out "$work") ||
        fail "packaging"
    msiinfo suminfo "$x86_msi" | grep -qx 'Template: Intel;1033' || fail "not a 32-bit package"
    msiinfo suminfo "$x64_msi" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"
    diff -u <(tables "$x64_msi" as-x86) <(tables "$x86_msi") || fail "tables differ from the 64-bit package's"
}
