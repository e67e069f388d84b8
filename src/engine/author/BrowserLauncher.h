#pragma once
// Sends the author's browser to the editor without putting its address, and so its secret, on a
// command line, where every user of the machine can read it (/proc/PID/cmdline of the opener and
// of a browser it starts): the browser is given a small page instead, created new where only the
// author can read it, which sends it on to the address. The page goes when the launcher does.

#include <string>

class BrowserLauncher {
public:
    BrowserLauncher() = default;
    ~BrowserLauncher();
    BrowserLauncher(const BrowserLauncher&) = delete;
    BrowserLauncher& operator=(const BrowserLauncher&) = delete;

    // False when there is no desktop to show it in, or the page cannot be written.
    bool Open(const std::string& url);

private:
    std::string page;
};
