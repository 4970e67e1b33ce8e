#!/usr/bin/env bash
# Fails when a tracked C++ source is not laid out as .clang-format says;
# `make format` rewrites them in place.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run --Werror
