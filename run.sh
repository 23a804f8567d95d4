#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game.
set -euo pipefail
source "$(dirname "$0")/scripts/setup.sh"
install_packages
BUILD_TARGETS=quiltaro build_tree "$ROOT/build"
exec "$ROOT/build/app/quiltaro"
