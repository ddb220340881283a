#include "studio/probe.h" // packs reaching across to the studio
