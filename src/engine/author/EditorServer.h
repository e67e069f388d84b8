#pragma once
// The timeline editor's routes, served by an HttpServer on its own threads: it serves the editor's
// page, the timeline's state, the soundtrack's waveform and a stream of the playhead, and saves
// the page's edits into the watched timeline. Only the author gets in: the URL's per-run secret
// is needed for every request, the Host must be this server's own (no DNS rebinding), a request
// that changes anything must come from the page's own origin, and the static files are a fixed
// set. It writes no file but the timeline (through a temporary file beside it, for the moment
// of a save).

#include "author/EditorChannel.h"

#include <memory>
#include <string>
#include <vector>

struct EditorSettings {
    std::string timelinePath;    // the file the page edits
    std::string pageDirectory;   // where the page's files are
    std::string soundtrackPath;  // for the waveform
    std::string listenAddress = "127.0.0.1";
    int port = 0;  // 0: any free port
    float tempo = 0.0f;
    double musicBeats = 0.0;
};

class EditorServer {
public:
    explicit EditorServer(EditorChannel& channel);
    ~EditorServer();
    EditorServer(const EditorServer&) = delete;
    EditorServer& operator=(const EditorServer&) = delete;

    // Binds and starts serving; false with `error` when the address or port cannot be had.
    bool Start(const EditorSettings& settings, std::string& error);
    // Ends the open streams and the thread, without waiting on any client. Safe to call more than once.
    void Stop();
    // The page's address with the secret, for the author's browser on this machine.
    const std::string& Url() const { return urls.front(); }
    // Every address the page can be opened at: this machine's first, then, when the server listens
    // on every address, one for each address another machine can reach.
    const std::vector<std::string>& Urls() const { return urls; }

private:
    struct Impl;

    EditorChannel& channel;
    std::unique_ptr<Impl> impl;
    std::vector<std::string> urls;
};
