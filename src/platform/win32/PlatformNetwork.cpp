// This machine on the network: kernel32's name for it and iphlpapi's list of its addresses.
#include "platform/Platform.h"

#ifndef _WIN32_WINNT
#define _WIN32_WINNT 0x0A00
#endif
#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>

// The platform's name, not the SDK's macro for its A or W form.
#undef GetComputerName

#include <vector>

namespace platform {

namespace {

constexpr ULONG kFirstListSize = 16u << 10;  // what Microsoft suggests; a larger list is asked again

const void* ReachableAddress(const sockaddr* address) {
    if (address->sa_family == AF_INET) {
        const in_addr& v4 = reinterpret_cast<const sockaddr_in*>(address)->sin_addr;
        return (ntohl(v4.s_addr) >> 16) == 0xA9FE ? nullptr : &v4;  // 169.254/16 is link-local
    }
    if (address->sa_family == AF_INET6) {
        const in6_addr& v6 = reinterpret_cast<const sockaddr_in6*>(address)->sin6_addr;
        return IN6_IS_ADDR_LINKLOCAL(&v6) || IN6_IS_ADDR_LOOPBACK(&v6) ? nullptr : &v6;
    }
    return nullptr;
}

}  // namespace

bool GetComputerName(char* name, size_t capacity) {
    DWORD size = static_cast<DWORD>(capacity);
    return capacity > 0 && ::GetComputerNameExA(ComputerNameDnsHostname, name, &size) && name[0] != '\0';
}

int GetAdaptersAddresses(bool ipv6, AddressText* addresses, int capacity) {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    std::vector<unsigned char> list;
    ULONG size = kFirstListSize;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    for (int attempt = 0; attempt < 3 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        list.resize(size);
        result = ::GetAdaptersAddresses(ipv6 ? AF_UNSPEC : AF_INET, kFlags, nullptr,
                                        reinterpret_cast<IP_ADAPTER_ADDRESSES*>(list.data()), &size);
    }
    if (result != NO_ERROR) return 0;
    int count = 0;
    for (auto* adapter = reinterpret_cast<const IP_ADAPTER_ADDRESSES*>(list.data()); adapter && count < capacity;
         adapter = adapter->Next) {
        if (adapter->OperStatus != IfOperStatusUp || adapter->IfType == IF_TYPE_SOFTWARE_LOOPBACK) continue;
        for (auto* unicast = adapter->FirstUnicastAddress; unicast && count < capacity; unicast = unicast->Next) {
            const sockaddr* address = unicast->Address.lpSockaddr;
            const void* bytes = ReachableAddress(address);
            if (bytes && ::inet_ntop(address->sa_family, bytes, addresses[count].text, sizeof addresses[count].text))
                ++count;
        }
    }
    return count;
}

}  // namespace platform
