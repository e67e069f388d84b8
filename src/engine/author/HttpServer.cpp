#include "author/HttpServer.h"

#include "author/WorkerThread.h"
#include "platform/Platform.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/ip/v6_only.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <chrono>
#include <list>

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

namespace {

// A browser sends its head at once; only a client holding a connection open waits longer.
constexpr auto kHeadDeadline = std::chrono::seconds(5);
constexpr auto kBodyDeadline = std::chrono::seconds(10);
constexpr auto kWriteDeadline = std::chrono::seconds(10);
constexpr auto kLingerDeadline = std::chrono::seconds(2);
constexpr size_t kDrainChunk = 4096;
constexpr auto kStreamInterval = std::chrono::milliseconds(50);
// Out of descriptors, say: the next accept is tried a little later rather than in a busy loop.
constexpr auto kAcceptRetry = std::chrono::milliseconds(100);
constexpr size_t kMaxConnections = 512;
constexpr size_t kMaxConnectionsPerAddress = 128;
// Descriptors left to the rest of the player (its data, log, shaders and saves, the drivers')
// below the open-file limit, which connections could otherwise exhaust.
constexpr size_t kFilesForThePlayer = 128;
constexpr uint32_t kHeadLimit = 16u << 10;
constexpr uint64_t kBodyLimit = 4u << 20;

HttpResponse Failure(int status, const char* message) {
    HttpResponse response;
    response.status = status;
    response.body = std::string("{\"error\": \"") + message + "\"}";
    return response;
}

// A request the parser refuses is answered; a client that left or ran out of time is not.
std::optional<HttpResponse> ParseFailure(beast::error_code error) {
    if (error == http::error::body_limit) return Failure(413, "the request is too large");
    if (error == http::error::header_limit) return Failure(431, "the request's head is too large");
    const bool parsing = error.category() == http::make_error_code(http::error::bad_method).category();
    if (parsing && error != http::error::end_of_stream && error != http::error::partial_message)
        return Failure(400, "the request is malformed");
    return std::nullopt;
}

}  // namespace

struct HttpServer::Impl {
    class Connection;

    explicit Impl(HttpRoutes& routes) : routes(routes) {}

    void Accept();
    void Admit(tcp::socket socket);
    bool MakeRoom(const std::string* address);
    void Tick();

    HttpRoutes& routes;
    size_t maxConnections = kMaxConnections;
    size_t maxConnectionsPerAddress = kMaxConnectionsPerAddress;
    std::list<Connection*> connections;  // oldest first; outlives the context, whose handlers own them
    asio::io_context io{1};
    tcp::acceptor acceptor{io};
    asio::steady_timer ticker{io};
    asio::steady_timer acceptRetry{io};
    // Its tasks own connections and post into the context: stopped before either goes.
    WorkerThread worker;
};

namespace {

// Below the limit by what the player keeps for itself, or by half of it when it is that low.
size_t ConnectionsWithin(size_t openFiles) {
    return std::min(kMaxConnections, openFiles > 2 * kFilesForThePlayer ? openFiles - kFilesForThePlayer : openFiles / 2);
}

}  // namespace

class HttpServer::Impl::Connection : public std::enable_shared_from_this<Connection> {
public:
    enum class Phase { kWaiting, kAnswering, kStreaming };

    Connection(Impl& server, tcp::socket socket, std::string address)
        : server(server), stream(std::move(socket)), address(std::move(address)) {
        place = server.connections.insert(server.connections.end(), this);
    }
    ~Connection() { server.connections.erase(place); }

    void ReadHead();
    // The stream's next message, unless the previous one is still being written: a slow reader
    // misses messages (each one is the whole playhead) rather than piling them up.
    void Write(const std::shared_ptr<const std::string>& message);
    void Close();

    Phase phase = Phase::kWaiting;
    bool closed = false;
    const std::string& Address() const { return address; }

private:
    void OnHead(beast::error_code error);
    void OnBody(beast::error_code error);
    void Fail(beast::error_code error);
    void Serve();
    void Answer(HttpResponse response);
    // The routes answer what they can; a failure inside them costs this request, not the server.
    template <typename Route>
    auto Call(Route&& route) -> decltype(route()) {
        try {
            return route();
        } catch (const std::exception&) {
            return Failure(500, "the request could not be answered");
        }
    }
    void Reply(HttpResponse response, bool keepAlive);
    void Linger();
    void Drain();
    void StartStream(const HttpResponse& response);
    bool ReadTarget(beast::string_view target);

    Impl& server;
    beast::tcp_stream stream;
    std::string address;
    std::list<Connection*>::iterator place;
    beast::flat_buffer buffer;
    std::optional<http::request_parser<http::string_body>> parser;
    HttpRequest request;
    std::optional<http::response<http::string_body>> answer;
    std::optional<http::response<http::empty_body>> streamHead;
    std::optional<http::response_serializer<http::empty_body>> streamHeadWriter;
    std::shared_ptr<const std::string> writing;
};

void HttpServer::Impl::Connection::ReadHead() {
    phase = Phase::kWaiting;
    parser.emplace();
    parser->header_limit(kHeadLimit);
    parser->body_limit(kBodyLimit);
    stream.expires_after(kHeadDeadline);
    http::async_read_header(stream, buffer, *parser,
                            [self = shared_from_this()](beast::error_code error, size_t) { self->OnHead(error); });
}

void HttpServer::Impl::Connection::OnHead(beast::error_code error) {
    if (error || closed) return Fail(error);
    phase = Phase::kAnswering;
    const auto& head = parser->get();
    request = HttpRequest{};
    request.method = std::string(head.method_string());
    request.host = std::string(head[http::field::host]);
    request.origin = std::string(head[http::field::origin]);
    if (!ReadTarget(head.target())) return Reply(Failure(400, "the request's address is malformed"), false);
    // A refused request's body is never read, so the connection cannot carry another.
    if (std::optional<HttpResponse> refusal = Call([&] { return server.routes.Admit(request); }))
        return Reply(std::move(*refusal), false);
    if (parser->is_done()) return Serve();
    stream.expires_after(kBodyDeadline);
    http::async_read(stream, buffer, *parser,
                     [self = shared_from_this()](beast::error_code error, size_t) { self->OnBody(error); });
}

void HttpServer::Impl::Connection::Fail(beast::error_code error) {
    std::optional<HttpResponse> answer = closed ? std::nullopt : ParseFailure(error);
    if (!answer) return Close();
    Reply(std::move(*answer), false);
}

bool HttpServer::Impl::Connection::ReadTarget(beast::string_view target) {
    const size_t mark = target.find('?');
    if (mark != beast::string_view::npos) request.query = std::string(target.substr(mark + 1));
    return DecodeUrl(std::string_view(target.data(), std::min(mark, target.size())), false, request.path);
}

void HttpServer::Impl::Connection::OnBody(beast::error_code error) {
    if (error || closed) return Fail(error);
    Serve();
}

// A slow request is answered by the worker: meanwhile nothing else touches the connection, whose
// socket waits on nothing, and the answer comes back to this thread to be written.
void HttpServer::Impl::Connection::Serve() {
    request.body = std::move(parser->get().body());
    if (!server.routes.Slow(request)) return Answer(Call([&] { return server.routes.Serve(request); }));
    server.worker.Post([self = shared_from_this()]() mutable {
        HttpResponse response = self->Call([&] { return self->server.routes.Serve(self->request); });
        // The last owner goes with the posted answer: a connection ends on the server's thread.
        asio::io_context& io = self->server.io;
        asio::post(io, [self = std::move(self), response = std::move(response)]() mutable {
            self->Answer(std::move(response));
        });
    });
}

void HttpServer::Impl::Connection::Answer(HttpResponse response) {
    if (closed) return;
    if (response.stream) return StartStream(response);
    Reply(std::move(response), parser->get().keep_alive());
}

void HttpServer::Impl::Connection::Reply(HttpResponse response, bool keepAlive) {
    auto& message = answer.emplace(static_cast<http::status>(response.status), 11);
    message.set(http::field::content_type, response.contentType);
    for (const auto& [name, value] : response.headers)
        message.set(name, value);
    message.body() = std::move(response.body);
    message.keep_alive(keepAlive);
    message.prepare_payload();
    stream.expires_after(kWriteDeadline);
    http::async_write(stream, message, [self = shared_from_this()](beast::error_code error, size_t) {
        if (error) return self->Close();
        const bool again = self->answer->keep_alive();
        self->answer.reset();
        if (again) return self->ReadHead();
        self->Linger();
    });
}

// What the client still sends (the body of a refused request, say) is read and dropped for a
// moment before the close: closing on unread data would reset the connection, and the client
// could lose the answer it was just sent.
void HttpServer::Impl::Connection::Linger() {
    phase = Phase::kWaiting;
    beast::error_code ignored;
    stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
    stream.expires_after(kLingerDeadline);
    Drain();
}

// Reads and drops what the client sends until it leaves or the deadline closes the connection.
void HttpServer::Impl::Connection::Drain() {
    buffer.consume(buffer.size());
    stream.async_read_some(buffer.prepare(kDrainChunk), [self = shared_from_this()](beast::error_code error, size_t) {
        if (error || self->closed) return self->Close();
        self->Drain();
    });
}

void HttpServer::Impl::Connection::StartStream(const HttpResponse& response) {
    auto& head = streamHead.emplace(http::status::ok, 11);
    head.set(http::field::content_type, response.contentType);
    for (const auto& [name, value] : response.headers)
        head.set(name, value);
    head.chunked(true);
    streamHeadWriter.emplace(head);
    writing = std::make_shared<const std::string>();
    stream.expires_after(kWriteDeadline);
    http::async_write_header(stream, *streamHeadWriter, [self = shared_from_this()](beast::error_code error, size_t) {
        if (error) return self->Close();
        self->writing.reset();
        self->phase = Phase::kStreaming;
        // A read stays pending while the stream lasts, without a deadline: it keeps the connection,
        // and ends it as soon as the client leaves.
        self->stream.expires_never();
        self->Drain();
    });
}

void HttpServer::Impl::Connection::Write(const std::shared_ptr<const std::string>& message) {
    if (closed || writing) return;
    writing = message;
    stream.expires_after(kWriteDeadline);
    asio::async_write(stream, http::make_chunk(asio::buffer(*writing)),
                      [self = shared_from_this()](beast::error_code error, size_t) {
                          self->writing.reset();
                          if (error) self->Close();
                      });
}

// The pending operations end with an error, and the last of them lets the connection go.
void HttpServer::Impl::Connection::Close() {
    if (closed) return;
    closed = true;
    beast::error_code ignored;
    stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
    stream.close();
}

void HttpServer::Impl::Accept() {
    acceptor.async_accept([this](beast::error_code error, tcp::socket socket) {
        if (error == asio::error::operation_aborted) return;
        if (error) {
            acceptRetry.expires_after(kAcceptRetry);
            acceptRetry.async_wait([this](beast::error_code waited) {
                if (!waited) Accept();
            });
            return;
        }
        Admit(std::move(socket));
        Accept();
    });
}

void HttpServer::Impl::Admit(tcp::socket socket) {
    beast::error_code error;
    const tcp::endpoint remote = socket.remote_endpoint(error);
    if (error) return;  // gone already
    std::string address = remote.address().to_string();
    if (!MakeRoom(&address) || !MakeRoom(nullptr)) {
        socket.close(error);
        return;
    }
    std::make_shared<Connection>(*this, std::move(socket), std::move(address))->ReadHead();
}

// Below the cap (for one client address, or in all when `address` is null), or made so by
// closing the oldest connection that has not yet sent its head: a client holding connections
// open can only push out its own kind, while a request that is being answered or a page's
// stream stays.
bool HttpServer::Impl::MakeRoom(const std::string* address) {
    size_t count = 0;
    Connection* oldestWaiting = nullptr;
    for (Connection* connection : connections) {
        if (connection->closed || (address && connection->Address() != *address)) continue;
        ++count;
        if (!oldestWaiting && connection->phase == Connection::Phase::kWaiting) oldestWaiting = connection;
    }
    if (count < (address ? maxConnectionsPerAddress : maxConnections)) return true;
    if (!oldestWaiting) return false;
    oldestWaiting->Close();
    return true;
}

void HttpServer::Impl::Tick() {
    ticker.expires_after(kStreamInterval);
    ticker.async_wait([this](beast::error_code error) {
        if (error) return;
        std::shared_ptr<const std::string> message;
        for (Connection* connection : connections) {
            if (connection->phase != Connection::Phase::kStreaming || connection->closed) continue;
            if (!message) message = std::make_shared<const std::string>(routes.StreamEvent());
            connection->Write(message);
        }
        Tick();
    });
}

HttpServer::HttpServer(HttpRoutes& routes) : routes(routes) {}

HttpServer::~HttpServer() { Stop(); }

bool HttpServer::Start(const std::string& address, int wantedPort, std::string& error) {
    impl = std::make_unique<Impl>(routes);
    impl->maxConnections = ConnectionsWithin(platform::RaiseOpenFileLimit());
    impl->maxConnectionsPerAddress = std::min(kMaxConnectionsPerAddress, impl->maxConnections);
    beast::error_code failure;
    tcp::endpoint endpoint(asio::ip::make_address(address, failure), static_cast<unsigned short>(wantedPort));
    if (failure) {
        tcp::resolver resolver(impl->io);
        const auto found = resolver.resolve(address, std::to_string(wantedPort), tcp::resolver::passive, failure);
        if (!failure && !found.empty()) endpoint = found.begin()->endpoint();
    }
    tcp::acceptor& acceptor = impl->acceptor;
    if (!failure) acceptor.open(endpoint.protocol(), failure);
    // "::" serves IPv4 clients too, on every system.
    if (!failure && endpoint.address().is_v6()) acceptor.set_option(asio::ip::v6_only(false), failure);
#ifndef _WIN32
    // A port in TIME_WAIT from the previous run may be had again; on Windows the same option would
    // let another program take a port in use.
    if (!failure) acceptor.set_option(asio::socket_base::reuse_address(true), failure);
#endif
    if (!failure) acceptor.bind(endpoint, failure);
    if (!failure) acceptor.listen(asio::socket_base::max_listen_connections, failure);
    if (!failure) endpoint = acceptor.local_endpoint(failure);
    port = endpoint.port();
    boundAddress = endpoint.address().to_string();
    if (failure) {
        error = failure.message();
        impl.reset();
        return false;
    }
    impl->Accept();
    impl->Tick();
    thread = std::thread([this] { impl->io.run(); });
    return true;
}

void HttpServer::Stop() {
    if (!impl) return;
    impl->io.stop();
    if (thread.joinable()) thread.join();
    impl->worker.Stop();
    impl.reset();
}

void HttpServer::RunOnWorker(std::function<void()> task) { impl->worker.Post(std::move(task)); }
