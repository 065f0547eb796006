#!/usr/bin/env bash
# Installs the Debian packages of the Windows build when missing.
exec "$(dirname "$0")/deps.sh" windows
