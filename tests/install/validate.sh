#!/usr/bin/env bash
# Runs a validator on a file, or skips (exit 77) when the validator is not installed:
# validate.sh TOOL [ARGUMENT...] FILE
set -uo pipefail
if ! command -v "$1" >/dev/null 2>&1; then
    echo "SKIP: $1 is not installed (scripts/deps.sh installs it)"
    exit 77
fi
exec "$@"
