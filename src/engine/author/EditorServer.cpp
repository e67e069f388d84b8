#include "author/EditorServer.h"

#include "audio/SoundtrackEnvelope.h"
#include "author/HttpServer.h"
#include "author/TimelineSaver.h"
#include "io/SaveRecovery.h"
#include "io/TextLines.h"
#include "io/WholeFile.h"
#include "log/ILogger.h"
#include "platform/Platform.h"
#include "sync/Sync.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <random>
#include <thread>

using nlohmann::json;

namespace {

constexpr const char* kPageFiles[] = {"index.html", "editor.css", "editor.js", "timeline.js"};
constexpr size_t kPageFileLimit = 1u << 20;
constexpr size_t kMaxSampleRows = 100000;
constexpr int kWaveformSlicesPerBeat = 16;
constexpr int kMaxPrintedAddresses = 16;
constexpr auto kVersionInterval = std::chrono::milliseconds(200);  // how often the stream reads the file

std::string MakeSecret() {
    std::random_device device;
    std::string secret;
    for (int i = 0; i < 4; ++i) {
        char word[9];
        std::snprintf(word, sizeof word, "%08x", static_cast<unsigned>(device()));
        secret += word;
    }
    return secret;
}

const char* ContentType(const std::string& name) {
    if (name.ends_with(".html")) return "text/html; charset=utf-8";
    if (name.ends_with(".css")) return "text/css; charset=utf-8";
    return "text/javascript; charset=utf-8";
}

bool IsAddressLiteral(const std::string& host) {
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') return true;
    return !host.empty() &&
           std::all_of(host.begin(), host.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The names this machine goes by on its network: its host name and, for multicast DNS, the
// first label of it with ".local".
std::vector<std::string> OwnNames() {
    char name[256];
    if (!platform::GetComputerName(name, sizeof name)) return {};
    const std::string host = Lowercase(name);
    return {host, host.substr(0, host.find('.')) + ".local"};
}

// A name that resolves to this machine through DNS could be anyone's: only "localhost", address
// literals and the machine's own names, with this server's port, name it.
bool HostIsOwn(const std::string& header, int port, const std::vector<std::string>& names) {
    std::string name;
    int named = 0;
    if (!SplitHost(header, name, named) || named != port) return false;
    const std::string host = Lowercase(name);
    return host == "localhost" || IsAddressLiteral(host) || std::find(names.begin(), names.end(), host) != names.end();
}

// Every answer's text. A file's bytes that are not UTF-8 (in a mistake the page is shown, say)
// become U+FFFD rather than fail the answer.
std::string JsonText(const json& value) { return value.dump(-1, ' ', false, json::error_handler_t::replace); }

// An IPv6 address goes into a URL in brackets.
std::string UrlHost(const std::string& address) {
    return address.find(':') != std::string::npos && address.front() != '[' ? "[" + address + "]" : address;
}

// The addresses the page is printed at: the one the server listens on, or when it listens on
// every address, this machine's loopback first and then every address another machine can reach
// (IPv6 ones only when the server listens on IPv6 too).
std::vector<std::string> PageHosts(const std::string& listening, const std::string& bound) {
    const bool everyV4 = bound == "0.0.0.0";
    const bool everyV6 = bound == "::";
    if (!everyV4 && !everyV6) return {UrlHost(listening)};
    std::vector<std::string> hosts{everyV4 ? "127.0.0.1" : "[::1]"};
    platform::AddressText addresses[kMaxPrintedAddresses];
    const int count = platform::GetAdaptersAddresses(everyV6, addresses, kMaxPrintedAddresses);
    for (int i = 0; i < count; ++i)
        hosts.push_back(UrlHost(addresses[i].text));
    return hosts;
}

void Refuse(HttpResponse& response, int status, const std::string& message) {
    response.status = status;
    response.SetContent(JsonText(json{{"error", message}}), "application/json");
}

HttpResponse Refusal(int status, const std::string& message) {
    HttpResponse response;
    Refuse(response, status, message);
    return response;
}

// What the page's stream says every tick: the playhead, the player's values, the file's version.
json PlayheadEvent(const EditorPlayhead& playhead, uint64_t version) {
    json event = {
        {"beat", playhead.beat}, {"paused", playhead.paused}, {"frame", playhead.frame}, {"version", version}};
    if (playhead.loop) event["loop"] = {playhead.loop->from, playhead.loop->to};
    json values = json::object();
    for (size_t i = 0; i < kEditorTrackCount; ++i)
        values[KnownTrackNames()[i]] = playhead.values[i];
    event["values"] = std::move(values);
    return event;
}

}  // namespace

// The routes, called on the server's thread, and on its worker for what reads or writes the
// timeline: the saver keeps them apart.
struct EditorServer::Impl : HttpRoutes {
    EditorSettings settings;
    std::string secret;
    std::vector<std::string> ownNames;
    std::thread waveformReader;
    std::atomic<bool> waveformRead = false;
    std::string waveform;  // written by the reader before it says so
    std::atomic<uint64_t> streamVersion = 0;  // 0: not read yet
    std::atomic<bool> streamVersionAsked = false;
    std::chrono::steady_clock::time_point streamVersionRead;

    explicit Impl(EditorChannel& channel, const EditorSettings& settings)
        : settings(settings), channel(channel), saver(settings.timelinePath, settings.musicBeats) {}

    EditorChannel& channel;
    TimelineSaver saver;
    HttpServer http{*this};  // last: it stops, and its thread ends, before the rest goes

    // Before the body is read: the Host, the secret and, for a change, the Origin.
    std::optional<HttpResponse> Admit(const HttpRequest& request) override {
        if (!HostIsOwn(request.host, http.Port(), ownNames)) return Refusal(403, "this server answers only to its own address");
        if (!request.path.starts_with("/" + secret + "/"))
            return Refusal(403, "the editor's address carries a secret; open the address the player printed");
        if (request.method != "GET" && !request.origin.empty() && request.origin != "http://" + request.host)
            return Refusal(403, "changes are taken only from the editor's own page");
        return std::nullopt;
    }

    bool Slow(const HttpRequest& request) const override {
        const std::string route = Route(request);
        return route == "api/state" || route == "api/edit" || route == "api/values";
    }

    HttpResponse Serve(const HttpRequest& request) override {
        HttpResponse response;
        if (request.method == "GET")
            ServeGet(request, response);
        else if (request.method == "POST")
            ServePost(request, response);
        else
            Refuse(response, 404, "no such request");
        return response;
    }

    // The playhead now, with the file's version as last read. The file is read by the worker,
    // after any edit being saved, and the stream goes on meanwhile with the version before.
    std::string StreamEvent() override {
        const auto now = std::chrono::steady_clock::now();
        if (now - streamVersionRead >= kVersionInterval && !streamVersionAsked.exchange(true)) {
            streamVersionRead = now;
            http.RunOnWorker([this] {
                streamVersion = saver.Version();
                streamVersionAsked = false;
            });
        }
        return "data: " + JsonText(PlayheadEvent(channel.Playhead(), streamVersion)) + "\n\n";
    }

    std::string Route(const HttpRequest& request) const { return request.path.substr(secret.size() + 2); }

    void ServeGet(const HttpRequest& request, HttpResponse& response) {
        const std::string route = Route(request);
        if (route == "api/state") {
            json state;
            saver.State(state);
            response.SetContent(JsonText(state), "application/json");
        } else if (route == "api/events") {
            response.stream = true;
            response.contentType = "text/event-stream";
            response.headers.emplace_back("Cache-Control", "no-store");
        } else if (route == "api/values") {
            ServeValues(request, response);
        } else if (route == "api/waveform") {
            ServeWaveform(response);
        } else {
            ServeFile(route.empty() ? "index.html" : route, response);
        }
    }

    // Decoding the soundtrack takes seconds, which the server's one thread cannot spend: it is
    // read on the side, once, and until then the page is asked to come back.
    void ServeWaveform(HttpResponse& response) {
        if (!waveformReader.joinable()) waveformReader = std::thread([this] {
            waveform = WaveformJson();
            waveformRead = true;
        });
        if (!waveformRead) {
            Refuse(response, 503, "the soundtrack is still being read");
            response.headers.emplace_back("Retry-After", "1");
            return;
        }
        response.SetContent(waveform, "application/json");
    }

    // Only the page's own files, by exact name: no path reaches the file system.
    void ServeFile(const std::string& name, HttpResponse& response) const {
        if (std::find(std::begin(kPageFiles), std::end(kPageFiles), name) == std::end(kPageFiles))
            return Refuse(response, 404, "no such file");
        const WholeFile file = ReadWholeFile((settings.pageDirectory + "/" + name).c_str(), kPageFileLimit);
        if (!file.Ok()) return Refuse(response, 404, "the editor's page is not installed");
        response.SetContent(std::string(file.bytes.begin(), file.bytes.end()), ContentType(name));
        response.headers.emplace_back("Content-Security-Policy", "default-src 'self'; img-src 'self' data:");
    }

    // The player's own interpolation of a track's keys as the file holds them, at the rows asked.
    void ServeValues(const HttpRequest& request, HttpResponse& response) const {
        const TimelineOnDisk disk = ReadTimelineOnDisk(settings.timelinePath);
        if (!disk.Sound()) return Refuse(response, 409, disk.error);
        const std::string name = request.Query("track");
        const auto& tracks = disk.document.Tracks();
        const auto track =
            std::find_if(tracks.begin(), tracks.end(), [&](const TimelineTrack& t) { return t.name == name; });
        if (track == tracks.end()) return Refuse(response, 400, "no track \"" + name + "\"");
        SyncTrack sampled;
        sampled.keys = track->keys;
        sampled.keyCount = static_cast<int32_t>(sampled.keys.size());
        json values = json::array();
        for (const std::string& word : SplitWords(Replace(request.Query("rows"), ',', ' '))) {
            double row = 0.0;
            if (!ParseNumber(word, row) || values.size() >= kMaxSampleRows)
                return Refuse(response, 400, "rows are numbers, comma-separated");
            values.push_back(GetValue(&sampled, row));
        }
        response.SetContent(JsonText(json{{"values", values}}), "application/json");
    }

    static std::string Replace(std::string text, char from, char to) {
        std::replace(text.begin(), text.end(), from, to);
        return text;
    }

    std::string WaveformJson() const {
        const SoundtrackEnvelope envelope =
            ReadSoundtrackEnvelope(settings.soundtrackPath.c_str(), settings.tempo, kWaveformSlicesPerBeat);
        return JsonText(json{{"slicesPerBeat", envelope.slicesPerBeat}, {"low", envelope.low}, {"high", envelope.high}});
    }

    void ServePost(const HttpRequest& request, HttpResponse& response) {
        const json body = json::parse(request.body, nullptr, false);
        if (body.is_discarded() || !body.is_object()) return Refuse(response, 400, "the request is not a JSON object");
        const std::string route = Route(request);
        try {
            if (route == "api/edit") return Edit(body, response);
            if (route == "api/seek") {
                channel.Post({EditorCommand::Kind::kSeek, Beat(body.at("beat")), 0.0});
            } else if (route == "api/loop") {
                if (body.contains("from")) {
                    const double from = Beat(body.at("from"));
                    const double to = Beat(body.at("to"));
                    if (!(from < to)) return Refuse(response, 400, "a loop's start comes before its end");
                    channel.Post({EditorCommand::Kind::kSetLoop, from, to});
                } else {
                    channel.Post({EditorCommand::Kind::kClearLoop});
                }
            } else if (route == "api/pause") {
                channel.Post({EditorCommand::Kind::kTogglePause});
            } else {
                return Refuse(response, 404, "no such request");
            }
        } catch (const std::exception& failure) {
            return Refuse(response, 400, failure.what());
        }
        response.SetContent("{}", "application/json");
    }

    double Beat(const json& value) const {
        const double beat = value.get<double>();
        if (!std::isfinite(beat) || beat < 0.0 || beat > settings.musicBeats)
            throw std::invalid_argument("the beat lies outside the music");
        return beat;
    }

    void Edit(const json& body, HttpResponse& response) {
        json answer;
        response.status = saver.Edit(body, answer);
        if (response.status == 200) {
            // The last frame published before the player hears of the save: the frame after the
            // next one at the latest plays the new keys.
            answer["frame"] = channel.Playhead().frame;
            channel.Post({EditorCommand::Kind::kTimelineSaved});
        }
        response.SetContent(JsonText(answer), "application/json");
    }
};

EditorServer::EditorServer(EditorChannel& channel) : channel(channel) {}

EditorServer::~EditorServer() { Stop(); }

bool EditorServer::Start(const EditorSettings& settings, std::string& error) {
    // Whatever a killed run left half-saved is dealt with before anything is served.
    for (const std::string& line : RecoverSaves(settings.timelinePath)) gLogger->Write(line.c_str());
    impl = std::make_unique<Impl>(channel, settings);
    impl->secret = MakeSecret();
    impl->ownNames = OwnNames();
    if (!impl->http.Start(settings.listenAddress, settings.port, error)) {
        error = "the timeline editor cannot listen on " + settings.listenAddress + " port " +
                std::to_string(settings.port) + ": " + error;
        impl.reset();
        return false;
    }
    urls.clear();
    for (const std::string& host : PageHosts(settings.listenAddress, impl->http.BoundAddress()))
        urls.push_back("http://" + host + ":" + std::to_string(impl->http.Port()) + "/" + impl->secret + "/");
    return true;
}

void EditorServer::Stop() {
    if (!impl) return;
    impl->saver.Abandon();
    impl->http.Stop();
    if (impl->waveformReader.joinable()) impl->waveformReader.join();
    impl.reset();
}
