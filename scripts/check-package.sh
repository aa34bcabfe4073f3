#!/usr/bin/env bash
# The Debian package as a desk gets it: `make package`, its contents, `apt-get install` of it,
# the program started from another folder by a user with a home of its own, and removal, which
# must leave that user's records alone.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

make package >/dev/null
debs=(zartav_*.deb)
[ ${#debs[@]} -eq 1 ] || { echo "expected one package, found: ${debs[*]}"; exit 1; }
deb=${debs[0]}
echo "== $deb"
dpkg-deb -f "$deb" Package Version Depends

listing=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for f in ./usr/bin/zartav ./usr/bin/zartav-cli ./usr/share/applications/ir.zartav.Zartav.desktop \
         ./usr/share/icons/hicolor/scalable/apps/ir.zartav.Zartav.svg \
         ./usr/share/icons/hicolor/48x48/apps/ir.zartav.Zartav.png \
         ./usr/share/icons/hicolor/128x128/apps/ir.zartav.Zartav.png \
         ./usr/share/metainfo/ir.zartav.Zartav.metainfo.xml ./usr/share/man/man1/zartav-cli.1.gz; do
    grep -qxF "$f" <<<"$listing" || { echo "the package lacks $f"; exit 1; }
done

export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get install -y -qq "./$deb" >/dev/null || { $SUDO apt-get update -qq && $SUDO apt-get install -y -qq "./$deb" >/dev/null; }
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
elsewhere=$(mktemp -d)
(cd "$elsewhere" && HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config \
    ZARTAV_EXIT_AFTER_FIRST_PAINT=1 timeout 120 xvfb-run -a zartav >/dev/null)
data=$home/.local/share/Zartav/Zartav/Data.db
[ -f "$data" ] || { echo "the installed program did not create $data"; exit 1; }
[ ! -e /usr/bin/Data.db ] || { echo "the installed program wrote /usr/bin/Data.db"; exit 1; }
[ -z "$(ls -A "$elsewhere")" ] || { echo "the installed program wrote into its working folder"; exit 1; }
rmdir "$elsewhere"
zartav-cli --version | head -1

$SUDO apt-get remove -y -qq zartav >/dev/null
[ ! -e /usr/bin/zartav ] || { echo "removing the package left /usr/bin/zartav"; exit 1; }
[ -f "$data" ] || { echo "removing the package took the user's Data.db"; exit 1; }
echo "package check passed: installed, started, created $data, removed, data kept"
