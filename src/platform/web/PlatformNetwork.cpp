// This machine on the network, from inside a browser: a page is never told.
#include "platform/Platform.h"

namespace platform {

bool GetComputerName(char* /*name*/, size_t /*capacity*/) { return false; }

int GetAdaptersAddresses(bool /*ipv6*/, AddressText* /*addresses*/, int /*capacity*/) { return 0; }

}  // namespace platform
