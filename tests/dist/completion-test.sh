#!/usr/bin/env bash
# Checks the bash completion of labyrinth-cli against the program itself:
# every subcommand that `labyrinth-cli --help` lists and every option of
# every `labyrinth-cli COMMAND --help` is offered, and file names are offered
# where a file is asked for and nowhere else.
#   completion-test.sh LABYRINTH_CLI COMPLETION_FILE
set -uo pipefail
cli=$1
source "$2" || { echo "cannot load $2"; exit 1; }

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# The completions offered after the given words; the last word is the one
# being completed.
complete_words() {
    COMP_WORDS=(labyrinth-cli "$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _labyrinth_cli
    printf '%s\n' "${COMPREPLY[@]}"
}

offers() {  # offers WORD words...: the completion of words includes WORD
    local word=$1 offered
    shift
    # Taken whole first: grep -q stopping early would break the pipe.
    offered=$(complete_words "$@")
    grep -qxF -- "$word" <<<"$offered"
}

commands=$("$cli" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF {print $1}')
[[ -n $commands ]] || fail "labyrinth-cli --help lists no subcommands"
for command in $commands; do
    offers "$command" "" || fail "subcommand $command is not offered"
    # The first column of the option lines, such as "-o,--output".
    options=$("$cli" "$command" --help | awk '/^  -/ {print $1}' | tr ',' '\n' | sort -u)
    [[ -n $options ]] || fail "labyrinth-cli $command --help lists no options"
    for option in $options; do
        offers "$option" "$command" "-" || fail "$command: option $option is not offered"
    done
done
# Options of other branches' making that the completion knows already.
for option in --svg --patch; do offers "$option" write "--" || fail "write: $option is not offered"; done
offers --svg show "--" || fail "show: --svg is not offered"

folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
cd "$folder" && mkdir roms && touch game.nes OTHER.NES notes.txt
images=$(complete_words write "" | sort | tr '\n' ' ')
[[ $images == "OTHER.NES game.nes roms " ]] || fail "write IMAGE offers '$images', not the images and folders"
offers notes.txt write game.nes --patch "" || fail "--patch does not offer files"
offers notes.txt show game.nes --svg "" || fail "--svg does not offer files"
[[ -z $(complete_words write game.nes --seed "") ]] || fail "--seed offers something"
[[ -z $(complete_words generate --count "") ]] || fail "--count offers something"

if ((failures > 0)); then
    echo "$failures completion checks failed"
    exit 1
fi
echo "completion: every subcommand and option offered"
