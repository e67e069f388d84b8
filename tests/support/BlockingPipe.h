#pragma once
// A pipe in a data file's place, whose reading would wait forever for a writer: a FIFO on Linux,
// a named pipe with its server waiting on Windows. A loader must refuse it without a read.

#include <cstdint>
#include <string>

class BlockingPipe {
public:
    // `path` is where the FIFO goes; Windows names its pipes in a namespace of their own, so
    // there the path's file name names the pipe.
    explicit BlockingPipe(const std::string& path);
    ~BlockingPipe();
    BlockingPipe(const BlockingPipe&) = delete;
    BlockingPipe& operator=(const BlockingPipe&) = delete;

    bool Valid() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
    intptr_t server_ = -1;
};
