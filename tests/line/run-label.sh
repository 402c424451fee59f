#!/usr/bin/env bash
# SPDX-FileCopyrightText: 2026 The Velmora developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs the tests labelled line: run-label.sh BUILD_FOLDER
# Where namespaces cannot be made they skip, saying why; on CI (CI=true) a skip is a failure,
# since CI runs as root and must prove the line against a real NetworkManager.
set -euo pipefail
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --test-dir "$1" --output-on-failure -j2 --label-regex '^line$' | tee "$log"
if [ "${CI:-}" = true ] && grep -q -e '\*\*\*Skipped' -e '^SKIP line tests' "$log"; then
    echo "run-label.sh: the line tests were skipped, but CI must run them (as root, with unshare)"
    exit 1
fi
