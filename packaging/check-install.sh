#!/usr/bin/env bash
# Installs a build into a throw-away prefix, as `make package` lays it out under /usr, and checks
# what a desk gets: the programs, the desktop entry, the icons, the metainfo, the manual pages,
# and that the installed program keeps its data in the per-user data folder.
set -euo pipefail
build=$(cd "${1:?usage: check-install.sh BUILD_DIR}" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/usr
cmake --install "$build" --prefix "$prefix" >/dev/null

status=0
for f in bin/zartav bin/zartav-cli \
         share/applications/ir.zartav.Zartav.desktop share/metainfo/ir.zartav.Zartav.metainfo.xml \
         share/icons/hicolor/scalable/apps/ir.zartav.Zartav.svg \
         share/icons/hicolor/48x48/apps/ir.zartav.Zartav.png share/icons/hicolor/128x128/apps/ir.zartav.Zartav.png \
         share/man/man1/zartav-cli.1.gz share/man/man1/zartav.1.gz; do
    [ -s "$prefix/$f" ] || { echo "not installed: $f"; status=1; }
done
for size in 48 128; do
    file "$prefix/share/icons/hicolor/${size}x${size}/apps/ir.zartav.Zartav.png" | grep -q "$size x $size" ||
        { echo "the ${size} px icon is not ${size} x ${size}"; status=1; }
done
zcat "$prefix/share/man/man1/zartav-cli.1.gz" | grep -q '^\.SH' || { echo "zartav-cli.1 is not a manual page"; status=1; }
"$prefix/bin/zartav-cli" --version | grep -q '^zartav-cli (Zartav) ' || { echo "zartav-cli --version"; status=1; }

# Started from another folder by a user of its own: Data.db lands in that user's data folder.
home=$work/home
mkdir -p "$home" "$work/elsewhere"
(cd "$work/elsewhere" && HOME=$home XDG_DATA_HOME=$home/.local/share XDG_CONFIG_HOME=$home/.config \
    QT_QPA_PLATFORM=offscreen ZARTAV_EXIT_AFTER_FIRST_PAINT=1 timeout 60 "$prefix/bin/zartav" >/dev/null)
[ -f "$home/.local/share/Zartav/Zartav/Data.db" ] || { echo "no Data.db in the per-user data folder"; status=1; }
[ ! -e "$prefix/bin/Data.db" ] || { echo "Data.db was written beside the installed program"; status=1; }
[ -z "$(ls -A "$work/elsewhere")" ] || { echo "files were written to the working folder"; status=1; }
exit $status
