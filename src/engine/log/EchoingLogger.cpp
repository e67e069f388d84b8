#include "log/EchoingLogger.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kErrorPrefix = "ERROR: ";

}  // namespace

void EchoingLogger::WritePair(const char* message, const char* argument) {
    log->WritePair(message, argument);
    if (message && std::strncmp(message, kErrorPrefix, std::strlen(kErrorPrefix)) == 0)
        std::fprintf(stderr, "QuarnEngine: %s%s\n", message, argument ? argument : "");
}

void EchoingLogger::Error(const char* message) {
    log->Error(message);
    std::fprintf(stderr, "QuarnEngine: %s%s\n", kErrorPrefix, message ? message : "");
}
