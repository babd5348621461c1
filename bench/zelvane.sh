#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# zelvane: CPU per second of input with all chains running, and end-to-end
# latency from a sample to its event. Usage: bench/zelvane.sh BIN_DIR [SECONDS]
set -euo pipefail
"$1/zelvane_bench" "$@"
