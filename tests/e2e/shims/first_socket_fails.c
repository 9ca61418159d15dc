/* Preloaded into the daemon: the first TCP socket the process asks for is
 * refused with EMFILE, as when it has run out of descriptors; every later one
 * is created as usual. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <sys/socket.h>

static int refused;

int socket(int domain, int type, int protocol) {
    static int (*real_socket)(int, int, int);
    if (real_socket == 0) {
        real_socket = (int (*)(int, int, int))dlsym(RTLD_NEXT, "socket");
    }
    if (domain == AF_INET && (type & SOCK_STREAM) &&
        !__atomic_exchange_n(&refused, 1, __ATOMIC_SEQ_CST)) {
        errno = EMFILE;
        return -1;
    }
    return real_socket(domain, type, protocol);
}
