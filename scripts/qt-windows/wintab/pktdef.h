// SPDX-License-Identifier: MIT
// Stands in for Qt's src/3rdparty/wintab/pktdef.h (left out of Debian's qt6-base tarball) with
// Wine's LGPL header of the same name. No include guard: like the original, the PACKET structure
// it declares depends on the PACKETDATA macro of the includer.
#include "wintab.h"
#include "wine/pktdef.h"
