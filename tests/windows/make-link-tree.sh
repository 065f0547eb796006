#!/usr/bin/env bash
# Lays out the tree of the Windows link tests: Linux symbolic links, which Wine
# shows to Windows programs as reparse points (links to folders) or as the files
# they point to (links to files). A Windows program under Wine cannot make them.
#   make-link-tree.sh DIR
set -euo pipefail
dir="${1:?usage: $0 DIR}"
rm -rf "$dir"
mkdir -p "$dir/root/sub" "$dir/outside/inner"
printf x >"$dir/outside/a.bak"
printf x >"$dir/outside/inner/b.bak"
printf xx >"$dir/root/own.bak"
printf xxx >"$dir/root/sub/deep.bak"
ln -s "$dir/outside" "$dir/root/elsewhere"    # a folder link without a dot
ln -s "$dir/outside" "$dir/root/folder.bak"   # a folder link of a listed type
ln -s "$dir/outside/a.bak" "$dir/root/link.bak"
ln -s "$dir/root" "$dir/rootlink"
old="3 days ago"
touch -d "$old" "$dir/outside/a.bak" "$dir/outside/inner/b.bak" "$dir/root/own.bak" \
    "$dir/root/sub/deep.bak" "$dir/outside/inner" "$dir/outside"
touch -h -d "$old" "$dir/root/elsewhere" "$dir/root/folder.bak" "$dir/root/link.bak"
