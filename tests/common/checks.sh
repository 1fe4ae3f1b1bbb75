# Shared by the shell test scripts (source it; it runs nothing by itself): checks counted as
# they run, and the closing line.

passed=0
failed=0
check() {  # check <description> <command...>: passes when the command succeeds
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $what" >&2
    fi
}

# Prints "N passed, N failed"; the status is non-zero when a check failed.
report_checks() {
    echo "$passed passed, $failed failed"
    [ "$failed" = 0 ]
}
