// SPDX-License-Identifier: MIT
// Stands in for Qt's src/3rdparty/wintab/wintab.h, which Debian's qt6-base tarball leaves out.
// Wine's LGPL header of the same name (copied beside this file as wine/wintab.h) is written for
// Wine's own headers: it needs the Windows types and the DUMMYUNIONNAME helpers up front, and Qt
// declares its function pointers with the API calling-convention macro of the original header.
#ifndef MARLO_QT_WINTAB_H
#define MARLO_QT_WINTAB_H

#include <windows.h>
#include <_mingw_dxhelper.h>

#ifndef API
#define API WINAPI
#endif

#include "wine/wintab.h"

#endif
