#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Every command line that the README and the manual page of ambrel-batch show runs as shown:
#  - in the README's code blocks, a line "$ COMMAND" is run and the lines after it (up to the next
#    "$" line or the block's end) must be its output, byte for byte; "; echo $?" shows its status;
#  - a command line without "$" (ambrel-batch ..., build/bin/ambrel-batch ...) must run with
#    status 0; synopses (with [OPTIONS] or PART.csv...) are not commands;
#  - the manual page's examples (.EX ... .EE) must each run with status 0.
# The commands run in a scratch folder holding a copy of examples/, with ambrel-batch first on
# PATH and as build/bin/ambrel-batch, one shell for all; a block starts at the top of the copy, and
# a "cd" in it holds for the rest of the block.
# Not run here: the build and installation commands (test.sh builds, installs and packages), the
# window (run.sh), and the study scripts' examples, which name machines and a Slurm partition of
# a user's own (their own tests run them on this machine).
#   readme_commands_test.sh BIN_DIR
set -uo pipefail
bin="$(realpath "$1")"
root="$(realpath "$(dirname "$0")/../..")"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/run/build"
cp -r "$root/examples" "$work/run/examples"
ln -s "$bin" "$work/run/build/bin"
export PATH="$bin:$PATH"
failures=0
fail() {
    echo "FAILED: $1" >&2
    failures=$((failures + 1))
}

# Runs COMMAND in the scratch shell's folder; compares its output with the file EXPECTED when
# given, else wants status 0.
check() {
    local command="$1" expected="${2:-}" status
    if [[ "$command" == cd\ * ]]; then
        eval "$command" || fail "$command"
        return
    fi
    eval "$command" >"$work/out" 2>"$work/err"
    status=$?
    if [ -n "$expected" ]; then
        if ! cmp -s "$expected" "$work/out"; then
            fail "$command: its output differs from the one shown"
            diff "$expected" "$work/out" | head -n 20 >&2
        fi
    elif [ "$status" -ne 0 ]; then
        fail "$command: exit status $status"
        head -n 5 "$work/err" >&2
    fi
    echo "ran: $command"
}

# The README: code blocks are lines indented by four or more blanks after a blank line.
cd "$work/run"
readme="$root/README.md"
command=""
expected_file=""
in_block=0
previous_blank=1
finish() {
    if [ -n "$command" ]; then
        check "$command" "$expected_file"
    fi
    command=""
    expected_file=""
}
n=0
while IFS= read -r line || [ -n "$line" ]; do
    if [[ "$line" =~ ^\ {4,}(.*)$ ]] && { [ "$in_block" -eq 1 ] || [ "$previous_blank" -eq 1 ]; }; then
        # Each block starts from the top of the tree.
        [ "$in_block" -eq 1 ] || cd "$work/run"
        in_block=1
        text="${BASH_REMATCH[1]}"
        if [[ "$text" =~ ^\$\ (.*)$ ]]; then
            finish
            command="${BASH_REMATCH[1]}"
        elif [ -n "$command" ]; then
            if [ -z "$expected_file" ]; then
                n=$((n + 1))
                expected_file="$work/expected-$n"
                : >"$expected_file"
            fi
            printf '%s\n' "$text" >>"$expected_file"
        elif [[ "$text" =~ ^(build/bin/)?ambrel-batch\  ]] && [[ "$text" != *"[OPTIONS]"* ]] &&
            [[ "$text" != *"..."* ]]; then
            check "${text%%  #*}"
        fi
    else
        finish
        in_block=0
    fi
    if [ -z "$line" ]; then previous_blank=1; else previous_blank=0; fi
done <"$readme"
finish

# The manual page's examples, each block a script (groff's escapes undone), in a folder of its
# own holding the template the study examples name.
mkdir -p "$work/man"
cd "$work/man"
cp "$root/examples/studies/plates_gap.bal" plates.bal
block=""
in_example=0
while IFS= read -r line; do
    case "$line" in
    .EX) in_example=1 block="" ;;
    .EE)
        in_example=0
        check "$block"
        ;;
    *)
        if [ "$in_example" -eq 1 ]; then
            line="${line//\\-/-}"
            line="${line//\\(aq/\'}"
            line="${line//\\e/\\}"
            line="${line//@AMBREL_EXAMPLES_INSTALL_DIR@/$work/run/examples}"
            block+="$line"$'\n'
        fi
        ;;
    esac
done <"$root/data/ambrel-batch.1.in"

if [ "$failures" -ne 0 ]; then
    echo "$failures command lines of the README or the manual page do not run as shown" >&2
    exit 1
fi
echo "every command line of the README and the manual page ran as shown"
