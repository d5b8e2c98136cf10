#!/bin/sh
# Runs a test program with a home and XDG folders of its own, removed when it ends: the
# suite leaves nothing among the user's files (settings, the GL driver's shader caches,
# sockets), and parallel test processes do not meet in one runtime folder.
scratch=$(mktemp -d "${TMPDIR:-/tmp}/rv_home_XXXXXX") || exit 1
trap 'rm -rf "$scratch"' EXIT
trap 'exit 143' HUP INT TERM
mkdir -p "$scratch/config" "$scratch/cache" "$scratch/data" "$scratch/runtime"
chmod 700 "$scratch/runtime"
HOME=$scratch XDG_CONFIG_HOME=$scratch/config XDG_CACHE_HOME=$scratch/cache XDG_DATA_HOME=$scratch/data \
  XDG_RUNTIME_DIR=$scratch/runtime "$@"
