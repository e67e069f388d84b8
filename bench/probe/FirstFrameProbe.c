// Preloaded into a player (LD_PRELOAD) to time its start-up from outside: at the end of the first
// presented frame it prints the milliseconds since QUARN_EXEC_NS (the wall clock in ns, taken just
// before the player was executed) and ends the process. The player itself is not changed, so the
// same probe times the build tree's player and a packaged one, libraries and launcher included.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef void (*SwapBuffers)(void* display, unsigned long drawable);
typedef void (*Finish)(void);

void glXSwapBuffers(void* display, unsigned long drawable) {
    const SwapBuffers swap = (SwapBuffers)dlsym(RTLD_NEXT, "glXSwapBuffers");
    const Finish finish = (Finish)dlsym(RTLD_DEFAULT, "glFinish");
    swap(display, drawable);
    if (finish) finish();
    struct timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    const char* start = getenv("QUARN_EXEC_NS");
    const double ns = (double)now.tv_sec * 1e9 + (double)now.tv_nsec - (start ? strtod(start, NULL) : 0.0);
    fprintf(stderr, "first frame: %.1f ms\n", ns / 1e6);
    _exit(0);
}
