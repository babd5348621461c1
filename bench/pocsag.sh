#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# pagewick throughput: random bits and a long stream of pages through a pipe.
# Usage: bench/pocsag.sh BIN_DIR [BITS]
set -euo pipefail
"$1/pocsag_bench" "$@"
