#!/usr/bin/env bash
# Installs the Debian packages that building and testing need, when any is missing.
# Usage: scripts/deps.sh [extra-package ...]
set -euo pipefail

packages=(g++ cmake ninja-build pkg-config qt6-base-dev libgl-dev libstb-dev libsquish-dev
          libgtest-dev fonts-dejavu-core librsvg2-bin zlib1g-dev "$@")

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
as_root=()
[ "$(id -u)" -ne 0 ] && as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
# apt-get's own progress (package lists, downloads, unpacking) shows that something happens.
"${as_root[@]}" apt-get update
"${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
