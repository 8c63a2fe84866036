#pragma once

// Starts the program: tool state, application, windows in their order, event loop.
int RunMarlo(int argc, char* argv[]);
