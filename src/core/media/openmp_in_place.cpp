// For the whole process: every OpenMP parallel region of every library runs on the thread that
// enters it, as a team of one. This file defines libgomp's entry point, GOMP_parallel, and the
// executables bind to it instead of libgomp's (the core's link options pull it in by name).
//
// Why: the only OpenMP code we load is libimagequant's, and the GIF writer already keeps every
// core busy with one frame a worker. libgomp would, even for a team of one, make a futex call at
// every barrier: over 100,000 in an 8-s export, about 4 % of its CPU time. Running a region on
// the calling thread is what OpenMP code must allow. Anything that later brings OpenMP code of
// its own into the process gets the same: one thread per region.
extern "C" void GOMP_parallel(void (*region)(void*), void* data, unsigned /*threads*/,
                              unsigned /*flags*/) {
    region(data);
}
