#!/usr/bin/env bash
# Installs what is missing, builds, and starts Tessavane on the bundled sample textures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default
# The source folder list starts in the working folder until a folder has been stored,
# so the first run opens on the samples.
cd samples
exec ../build/default/bin/Tessavane
