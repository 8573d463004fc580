#!/usr/bin/env bash
# Installs the on-line help, the repository's help/ tree, into the directory
# the configuration's Help key names (by default /usr/local/doc/pyv2), one
# folder per interface language; the languages without pages of their own
# get a link to the English folder.
#
#   install-help.sh [configuration file]   (default /etc/pyv2/pyv2.conf)
set -euo pipefail
config=${1:-/etc/pyv2/pyv2.conf}
help_tree="$(cd "$(dirname "$0")/.." && pwd)/help"
help_dir=$(sed -n 's/^Help[[:space:]]\+\(.*[^[:space:]]\)[[:space:]]*$/\1/p' "$config" 2>/dev/null | tail -1 || true)
help_dir=${help_dir:-/usr/local/doc/pyv2}
install -d -m 0755 "$help_dir"
cp -R "$help_tree/." "$help_dir/"
for language in de ja tzh szh fr es it; do
    [ -e "$help_dir/$language" ] || ln -s en "$help_dir/$language"
done
echo "$help_dir"
