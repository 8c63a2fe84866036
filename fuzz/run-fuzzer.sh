#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs a fuzzer with its arguments, leaving out of its output the lines that say nothing about a
# finding: libpng's own complaints about each bad input and libFuzzer's note of each input it
# keeps. Its exit status is the fuzzer's.
"$@" 2>&1 | grep --line-buffered -Ev '^(libpng (error|warning): |#[0-9]+[[:space:]]+(NEW|REDUCE) )'
exit "${PIPESTATUS[0]}"
