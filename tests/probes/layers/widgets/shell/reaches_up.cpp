#include "window/probe.h" // the kit reaching up to the window
