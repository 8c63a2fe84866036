// SPDX-License-Identifier: MIT
#pragma once
#include <QString>

// The face for a Japanese interface on Windows: the one Windows itself uses (Yu Gothic UI, Meiryo
// UI, MS UI Gothic), else any other Japanese face that is not a serif one; empty when there is none.
QString JapaneseInterfaceFamily();

// Gives the interface that face, in the system's own size, on Windows, whose default dialog face
// has no Japanese and whose fallback for it can be a serif face. Elsewhere the system's choice stays.
void UseJapaneseInterfaceFont();
