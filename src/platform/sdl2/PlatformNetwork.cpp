// This machine on the network, from the C library.
#include "platform/Platform.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

namespace platform {

namespace {

// The numeric address of an interface's entry another machine could use, or null.
const void* ReachableAddress(const sockaddr* address, bool ipv6) {
    if (address->sa_family == AF_INET) {
        const in_addr& v4 = reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
        const bool linkLocal = (ntohl(v4.s_addr) >> 16) == 0xA9FE;  // 169.254/16
        return linkLocal ? nullptr : &v4;
    }
    if (address->sa_family == AF_INET6 && ipv6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        // A link-local address needs its interface named, which no URL a browser takes can do.
        return IN6_IS_ADDR_LINKLOCAL(&v6) || IN6_IS_ADDR_LOOPBACK(&v6) ? nullptr : &v6;
    }
    return nullptr;
}

}  // namespace

bool GetComputerName(char* name, size_t capacity) {
    if (capacity == 0 || ::gethostname(name, capacity) != 0) return false;
    name[capacity - 1] = '\0';
    return name[0] != '\0';
}

int GetAdaptersAddresses(bool ipv6, AddressText* addresses, int capacity) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return 0;
    int count = 0;
    for (const ifaddrs* entry = list; entry && count < capacity; entry = entry->ifa_next) {
        if (!entry->ifa_addr || !(entry->ifa_flags & IFF_UP) || (entry->ifa_flags & IFF_LOOPBACK)) continue;
        const void* address = ReachableAddress(entry->ifa_addr, ipv6);
        if (address && ::inet_ntop(entry->ifa_addr->sa_family, address, addresses[count].text,
                                   sizeof addresses[count].text))
            ++count;
    }
    ::freeifaddrs(list);
    return count;
}

}  // namespace platform
