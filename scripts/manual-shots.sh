#!/usr/bin/env bash
# Renews the pictures of the user manual (docs/manual/images) from the real
# program under Xvfb, with a demo database.  Forms that are not built yet are
# skipped and named at the end; run the script again once they exist.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake --build build -j2 --target weibao_manualshots
out=docs/manual/images
mkdir -p "$out"
xvfb-run -a -s "-screen 0 1280x800x24" env LANG=zh_CN.UTF-8 LC_ALL=C.UTF-8 \
  build/bin/weibao_manualshots "$out"
ls -l "$out"
# Pictures of forms that were not built when their chapter was written wait
# in comments ("<!-- ![..](images/x.png) -->"): name those that now exist.
grep -o '<!-- !\[[^]]*\](images/[^)]*) -->' docs/manual/*.md | while IFS= read -r line; do
  image=$(sed 's/.*(\(images\/[^)]*\)).*/\1/' <<<"$line")
  if [ -f "docs/manual/$image" ]; then echo "now shot, uncomment in ${line%%:*}: $image"; fi
done || true
