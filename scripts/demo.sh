#!/usr/bin/env bash
# Starts the program. Until a simulated logger is wired in, this just runs it.
build="$1"; shift
exec "$build/bin/quorvel" "$@"
