#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass the freedesktop validators. Exit 77 (skipped)
# names the validator that is missing; scripts/install-deps.sh installs both.
set -u
here=$(cd "$(dirname "$0")" && pwd)
for tool in desktop-file-validate appstreamcli; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
status=0
desktop-file-validate "$here/ir.zartav.Zartav.desktop" || status=1
appstreamcli validate --no-net "$here/ir.zartav.Zartav.metainfo.xml" || status=1
exit $status
