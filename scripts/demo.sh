#!/usr/bin/env bash
# Builds pixmeta, writes the sample photos and shows their metadata report.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/setup.sh build
mkdir -p build/samples
build/make-samples build/samples
build/pixmeta -s build/samples/*.jpg
