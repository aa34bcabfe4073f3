#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests, the benchmarks and the program need.
# Safe to run again: it only installs what is missing.
set -euo pipefail

PACKAGES=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-qpa-plugins
  libqt6sql6-sqlite libqt6sql6-psql libqt6printsupport6
  libjpeg62-turbo-dev libjpeg-turbo-progs libcups2-dev
  libsqlite3-dev sqlite3
  mdbtools-dev mdbtools
  libxlsxwriter-dev python3 python3-openpyxl
  libsodium-dev libp11-kit-dev softhsm2 libqrencode-dev libzbar-dev zbar-tools libpoppler-qt6-dev libssl-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  postgresql-15 postgresql-client-15 libpq-dev openssl iproute2
  xvfb xauth poppler-utils imagemagick file
  qt6-translations-l10n desktop-file-utils appstream help2man dpkg-dev
  fonts-farsiweb fonts-noto-core fonts-dejavu-core
  clang libclang-rt-14-dev
)

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
