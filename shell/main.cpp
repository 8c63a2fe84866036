// SPDX-License-Identifier: MIT
#include "shell/Startup.h"

int main(int argc, char* argv[])
{
    return RunMarlo(argc, argv);
}
