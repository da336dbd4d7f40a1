#!/usr/bin/env bash
# Builds the Debian package build/weibao_<version>_amd64.deb and checks it.
# Installs what packaging needs (dpkg-dev computes the library dependencies;
# lintian and desktop-file-utils check the result), then builds as setup.sh does.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh

PACKAGES=(dpkg-dev file lintian desktop-file-utils appstream)
missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake --build build -j"$(nproc)" --target package
deb=$(ls -t build/weibao_*_amd64.deb | head -n1)
echo "== $deb"
dpkg-deb --field "$deb" Package Version Depends Recommends Installed-Size
echo "== lintian"
lintian "$deb" || true
echo "== desktop-file-validate"
desktop-file-validate packaging/*.desktop && echo "ok"
echo "== appstreamcli"
appstreamcli validate --no-net build/packaging/*.metainfo.xml
echo
echo "Install it with:  sudo apt install ./$deb"
