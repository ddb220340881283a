#include "device/probe.h" // media reaching up to the device
