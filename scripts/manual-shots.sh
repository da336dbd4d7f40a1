#!/usr/bin/env bash
# Renews the pictures of the user manual (docs/manual/images) from the real
# program under Xvfb, with a demo database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
# The pictures are reduced to 256 colours with ImageMagick, which only this
# script needs.
if ! command -v convert >/dev/null; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends imagemagick
fi
cmake --build build -j2 --target weibao_manualshots
out=docs/manual/images
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" env LANG=zh_CN.UTF-8 LC_ALL=C.UTF-8 \
  build/bin/weibao_manualshots "$out"
# 256 colours are plenty for pictures of windows and keep each file small.
for png in "$out"/*.png; do
  convert "$png" -dither None -colors 256 "PNG8:$png"
done
ls -l "$out"
# A picture a chapter keeps in a comment ("<!-- ![..](images/x.png) -->")
# waits for its shot: name those that now exist.
grep -o '<!-- !\[[^]]*\](images/[^)]*) -->' docs/manual/*.md | while IFS= read -r line; do
  image=$(sed 's/.*(\(images\/[^)]*\)).*/\1/' <<<"$line")
  if [ -f "docs/manual/$image" ]; then echo "now shot, uncomment in ${line%%:*}: $image"; fi
done || true
