#!/usr/bin/env bash
# The layers of the library, from the ground up: support; readings; setup; memory; propkt (beside
# them, on support alone); session; api. A folder includes only from the folders below it, and
# nothing outside src/api reaches the library of the process. Prints every include that breaks
# this and fails; prints nothing and passes otherwise.
set -uo pipefail
src=${1:?usage: check_layers.sh SRC_DIR}
failed=0

# A folder and the folders it must not include from.
above() {
    local hits
    hits=$(grep -rnE "^#include \"($2)/" "$src/$1")
    if [ -n "$hits" ]; then
        echo "$1/ includes from above it:"
        echo "$hits"
        failed=1
    fi
}
above support 'readings|setup|memory|propkt|session|api'
above readings 'setup|memory|propkt|session|api'
above setup 'memory|propkt|session|api'
above memory 'propkt|session|api'
above propkt 'readings|setup|memory|session|api'
above session 'api'

hits=$(grep -rnE '^#include "api/|\blibrary\(\)' "$src" --include='*.h' --include='*.cpp' |
       grep -v "^$src/api/")
if [ -n "$hits" ]; then
    echo "only src/api knows the library of the process:"
    echo "$hits"
    failed=1
fi
exit $failed
