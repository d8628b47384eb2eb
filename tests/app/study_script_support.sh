# SPDX-FileCopyrightText: 2026 The Ambrel developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the study scripts' tests (sourced): study NAME STATUS ARGS... runs "$script" with ARGS,
# its standard error in NAME.err, and fails the test unless it exits with STATUS.
study() {
    local name="$1" expected="$2" s=0
    shift 2
    "$script" "$@" 2>"$name.err" || s=$?
    if [ "$s" -ne "$expected" ]; then
        echo "$(basename "$script") $*: exit status $s, not $expected; its standard error:" >&2
        cat "$name.err" >&2
        exit 1
    fi
}
