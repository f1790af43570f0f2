#!/usr/bin/env bash
# The layer check on small trees: each include form and source kind is
# caught, a clean tree passes, and a check that would scan nothing fails.
set -u
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
cd "$here/fixtures" || exit 1

upward=$(cat <<'OUT'
platform/angle.hpp:2: platform includes a header of the higher layer server: #include <server/high.h>
platform/native/relative.cpp:2: platform includes a header of the higher layer server: #include "../../server/high.h"
platform/quoted.h:3: platform includes a header of the higher layer server: #include "server/high.h"
text/spaced.c:2: text includes a header of the higher layer config: #  include   "config/settings.h"
text/table.inl:1: text includes a header of the higher layer jobs: #include "jobs/queue.h"
config/version.rc:2: config includes a header of the higher layer server: #include "server/resource.h"
backend/generated.h.in:1: backend includes a header of the higher layer bridge: #include "bridge/upstream.h"
jobs/iface.idl:2: jobs includes a header of the higher layer server: import "server/engine.idl";
server/uses_bridge.cc:2: server includes a header of the higher layer bridge: #include "bridge/upstream.h"
9 include(s) of a higher layer in 10 files; layers, lowest first: platform text config backend jobs server bridge tools bench fuzz tests
OUT
)

failures=0
# name | arguments | exit code | output
while IFS='|' read -r name arguments code output; do
    [ -n "$name" ] || continue
    [ "$output" != '$upward' ] || output=$upward
    # shellcheck disable=SC2086  # the arguments are words
    actual=$(bash "$here/check_layers.sh" $arguments)
    status=$?
    if [ "$status" -ne "$code" ] || [ "$actual" != "$output" ]; then
        printf 'FAIL %s: exit %s (expected %s)\n--- output\n%s\n--- expected\n%s\n' \
            "$name" "$status" "$code" "$actual" "$output"
        failures=$((failures + 1))
    else
        echo "ok   $name"
    fi
done <<'CASES'
clean tree passes|clean platform server|0|no include of a higher layer in 4 files
every form and kind is caught|upward platform text config backend jobs server bridge|1|$upward
missing root|none|2|no such folder: none
missing layer folder|clean platform jobs|2|layer folder missing: jobs
nothing to scan|empty platform|2|no source file in the layer folders: nothing was checked
not a layer|clean platform widgets|2|not a layer: widgets; layers, lowest first: platform text config backend jobs server bridge tools bench fuzz tests
CASES
exit $((failures > 0))
