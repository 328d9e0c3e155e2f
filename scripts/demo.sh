#!/usr/bin/env bash
# Installs what is missing, builds, and runs the client against the bundled demo server.
# With no display the client runs headless and prints the conversation on the terminal.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
KIVRA_TARGETS="kivra kivra-server mskivra50" scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
args=(--demo)
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    args+=(--headless)
fi
exec build/bin/kivra "${args[@]}" "$@"
