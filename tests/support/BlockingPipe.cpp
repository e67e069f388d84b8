#include "support/BlockingPipe.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <filesystem>

BlockingPipe::BlockingPipe(const std::string& path) {
    const std::string name = "\\\\.\\pipe\\quarn-" + std::filesystem::path(path).filename().string();
    HANDLE server = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    if (server == INVALID_HANDLE_VALUE) return;
    server_ = reinterpret_cast<intptr_t>(server);
    path_ = name;
}

BlockingPipe::~BlockingPipe() {
    if (server_ != -1) CloseHandle(reinterpret_cast<HANDLE>(server_));
}
#else
#include <sys/stat.h>
#include <unistd.h>

BlockingPipe::BlockingPipe(const std::string& path) {
    if (mkfifo(path.c_str(), 0600) == 0) path_ = path;
}

BlockingPipe::~BlockingPipe() {
    if (!path_.empty()) unlink(path_.c_str());
}
#endif
