#pragma once
// The editor's HTTP/1.1 transport: one thread of its own, event-driven, so that a client costs a
// socket and a small buffer, never a thread. What takes long (a big file read or saved) is done
// by one worker thread, in turn, while the server's thread goes on with every other client. An
// idle or slow client is closed when its request's head has not arrived within a few seconds;
// connections are capped in all (below the open-file limit) and per client address, and when a
// cap is reached the oldest connection still waiting for its head gives way. Event streams are
// written by one timer for all of them. Stop returns as soon as the worker's task of the moment
// ends, whatever the clients do.

#include "author/HttpMessage.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

// What the server asks of its routes: on its own thread, but Serve of a slow request on the worker.
class HttpRoutes {
public:
    virtual ~HttpRoutes() = default;
    // On the request's head, before its body is read: an answer here refuses the request, so a
    // client who may not make it cannot have its body read or held.
    virtual std::optional<HttpResponse> Admit(const HttpRequest& head) = 0;
    // Whether answering the request may take long, so that the worker answers it.
    virtual bool Slow(const HttpRequest& request) const = 0;
    virtual HttpResponse Serve(const HttpRequest& request) = 0;
    // The next message for every open event stream, as written on the wire; asked once a tick,
    // and only while a stream is open.
    virtual std::string StreamEvent() = 0;
};

class HttpServer {
public:
    explicit HttpServer(HttpRoutes& routes);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Binds `address` (an address literal or a name) and `port` (0: any free one) and starts
    // the thread; false with `error` when the address cannot be had.
    bool Start(const std::string& address, int port, std::string& error);
    // Closes every connection and ends the threads. Safe to call more than once.
    void Stop();
    // Runs `task` on the worker, after the slow requests before it; dropped when the server
    // stops first. Any thread, while the server runs.
    void RunOnWorker(std::function<void()> task);
    int Port() const { return port; }
    // The address bound, as numeric text: "0.0.0.0" or "::" when the server listens on every one.
    const std::string& BoundAddress() const { return boundAddress; }

private:
    struct Impl;

    HttpRoutes& routes;
    std::unique_ptr<Impl> impl;
    std::thread thread;
    int port = 0;
    std::string boundAddress;
};
