// Loaded with LD_PRELOAD: flock as a Lustre mount without the flock option answers it, to show
// that nothing of the capture needs it.
#include <cerrno>

extern "C" int flock(int, int) {
    errno = ENOSYS;
    return -1;
}
