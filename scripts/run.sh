#!/usr/bin/env bash
# Installs what is missing, builds the program (only the Tessavane target and what it needs,
# no tests or benchmarks), and starts it on the bundled sample textures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh
scripts/build.sh default Tessavane
# The source folder list starts in the working folder until a folder has been stored,
# so the first run opens on the samples.
cd samples
exec ../build/default/bin/Tessavane
