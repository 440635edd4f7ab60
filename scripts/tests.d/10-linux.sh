#!/usr/bin/env bash
# Native Release tree: every ctest-registered test (each GoogleTest case of
# quarvi_tests, plus tests added by tests/*/CMakeLists.txt).
source "$(dirname "$0")/../lib/testlib.sh"
quarvi_require_tree linux
quarvi_run_ctest "$QUARVI_BUILD/linux"
quarvi_result "$CT_PASSED" "$CT_FAILED"
