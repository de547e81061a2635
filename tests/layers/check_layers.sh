#!/usr/bin/env bash
# The layers, from the ground up. The library (src/): support; readings; setup; memory; propkt
# (beside them, on support alone); session; api, and nothing outside src/api reaches the library
# of the process. Above it the application core (app/), its parts in order, which knows the
# library only by its public headers; then the front ends (tools/cli, tools/web), which know the core and
# nothing of src/. The emulator (tools/emulator, tools/protocol) and the files it shares with
# the core (tools/common) know neither the core nor a front end. Prints every include that
# breaks this and fails; prints nothing and passes otherwise.
set -uo pipefail
root=${1:?usage: check_layers.sh PROJECT_DIR}
src=$root/src
failed=0

# Prints the includes of the files under path (a folder or file list) that match the pattern.
includes() {
    local pattern=$1
    shift
    grep -rnE "^#include \"($pattern)/" "$@" --include='*.h' --include='*.cpp' 2>/dev/null
}

report() {
    if [ -n "$2" ]; then
        echo "$1"
        echo "$2"
        failed=1
    fi
}

# The library: a folder and the folders it must not include from.
above() {
    report "src/$1/ includes from above it:" "$(includes "$2" "$src/$1")"
}
above support 'readings|setup|memory|propkt|session|api'
above readings 'setup|memory|propkt|session|api'
above setup 'memory|propkt|session|api'
above memory 'propkt|session|api'
above propkt 'readings|setup|memory|session|api'
above session 'api'

hits=$(grep -rnE '^#include "api/|\blibrary\(\)' "$src" --include='*.h' --include='*.cpp' |
       grep -v "^$src/api/")
report "only src/api knows the library of the process:" "$hits"

# The application core: each part includes only the parts below it, the files it shares with
# the emulator and the library's public headers.
parts=(base records lab uncertainty procedure image calibrator archive render certificate dcc
       workspace advice)
internals='support|readings|setup|memory|propkt|session|api'
for i in "${!parts[@]}"; do
    part=${parts[$i]}
    higher=$(IFS='|'; echo "${parts[*]:$((i + 1))}")
    if [ -n "$higher" ]; then
        report "app/$part/ includes from a part above it:" "$(includes "$higher" "$root/app/$part")"
    fi
done
report "app/ includes what is neither its own, the shared files nor the public headers:" \
    "$(grep -rnE '^#include "' "$root/app" --include='*.h' --include='*.cpp' |
       grep -vE "#include \"($(IFS='|'; echo "${parts[*]}")|common|kvtlnk)/")"

# The front ends know the core and the public headers, nothing of the library's sources.
for dir in tools/cli tools/web; do
    report "$dir includes the library's sources:" "$(includes "$internals" "$root/$dir")"
done

# The emulator and the files it shares know nothing above them.
for dir in tools/emulator tools/protocol tools/common; do
    report "$dir includes the core or a front end:" \
        "$(includes "$(IFS='|'; echo "${parts[*]}")|cli|web" "$root/$dir")"
done
exit $failed
