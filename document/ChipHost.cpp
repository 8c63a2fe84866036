// SPDX-License-Identifier: MIT
#include "document/ChipHost.h"

namespace {
TChipHost* g_host = nullptr;
}

TChipHost* ChipHost()
{
    return g_host;
}

void SetChipHost(TChipHost* host)
{
    g_host = host;
}
