#!/usr/bin/env bash
# Installs the Debian packages the program needs and builds it into build/.
# Idempotent: packages already present are not installed again, and the
# build is incremental.
set -euo pipefail
cd "$(dirname "$0")/.."

PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  libsqlite3-dev libpq-dev libsodium-dev libxlsxwriter-dev libarchive-dev libqrencode-dev libfreexl-dev libexpat1-dev
  # xlsxwriter.pc links with -lz, but libxlsxwriter-dev does not pull in zlib's headers
  zlib1g-dev
  fonts-noto-cjk tango-icon-theme
  poppler-utils xvfb xauth unzip
  # the tests read the warranty card's QR code back with zbarimg
  zbar-tools
  # a throwaway PostgreSQL server for the data-layer suites on the server engine
  postgresql-15
  # pg_dump / pg_restore: the backup dialog's backups and restores on the server
  postgresql-client-15
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then
    if ! command -v sudo >/dev/null; then
      echo "Missing packages: ${missing[*]}" >&2
      echo "Run this script as root once, or install sudo, to install them." >&2
      exit 1
    fi
    SUDO="sudo"
  fi
  echo "Installing: ${missing[*]}"
  $SUDO apt-get update
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc)"
