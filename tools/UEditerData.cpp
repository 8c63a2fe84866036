// SPDX-License-Identifier: MIT
#include "tools/UEditerData.h"

namespace {
// Static storage: constructed while the program's modules are initialised, destroyed after main
// returns, so it brackets the life of every window.
TToolData g_toolData;
} // namespace

TToolData* const ToolData = &g_toolData;
