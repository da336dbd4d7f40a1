#!/usr/bin/env bash
# Renders the program's icon (packaging/icons/weibao.svg) to the PNG sizes of
# the hicolor theme.  The PNGs are kept in the repository, so only a changed
# icon needs this script.
set -euo pipefail
cd "$(dirname "$0")/../packaging/icons"
if ! command -v rsvg-convert >/dev/null; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get install -y --no-install-recommends librsvg2-bin
fi
for size in 16 24 32 48 64 128 256; do
  mkdir -p "hicolor/${size}x${size}/apps"
  rsvg-convert -w "$size" -h "$size" weibao.svg -o "hicolor/${size}x${size}/apps/weibao.png"
done
echo "icons written to $(pwd)/hicolor"
