#!/usr/bin/env bash
# The completion of brennix-cli as bash runs it: commands, options, files by kind, and the serial
# number of a unit brennix-cli finds. Usage: completion.sh <folder of brennix-cli> <completion file>
set -u
PATH="$(cd "$1" && pwd):$PATH"
source "$2"
cd "$(mktemp -d)" || exit 1
touch tune.bnini run.bnlog RV8_MAVO_0180.hex notes.txt
failed=0
expect() {
    local want=$1; shift
    COMP_WORDS=("$@"); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); COMPREPLY=()
    _brennix_cli
    local got="${COMPREPLY[*]}"
    if [[ $got != "$want" ]]; then
        echo "brennix-cli ${*:2}<TAB>: got '$got', want '$want'"
        failed=1
    fi
}
expect "write" brennix-cli wr
expect "tune.bnini" brennix-cli write ""
expect "run.bnlog" brennix-cli log --seconds 5 ""
expect "RV8_MAVO_0180.hex" brennix-cli flash ""
expect "--dry-run" brennix-cli write --d
expect "main aux gpo1 gpo2" brennix-cli override ""
expect "sx s" brennix-cli --virtual-unit --virtual-unit-variant ""
expect "RV8V0001" brennix-cli --virtual-unit --serial ""
exit $failed
