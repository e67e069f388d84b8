#include "author/EditorServer.h"

#include "audio/SoundtrackEnvelope.h"
#include "author/TimelineSaver.h"
#include "io/SafeReplace.h"
#include "io/TextLines.h"
#include "io/WholeFile.h"
#include "sync/Sync.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

using nlohmann::json;

namespace {

constexpr const char* kPageFiles[] = {"index.html", "editor.css", "editor.js", "timeline.js"};
constexpr size_t kPageFileLimit = 1u << 20;
constexpr size_t kMaxSampleRows = 100000;
constexpr int kWaveformSlicesPerBeat = 16;
constexpr auto kStreamInterval = std::chrono::milliseconds(50);
constexpr int kVersionEveryTicks = 4;  // the file is looked at every 200 ms

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

// A name that resolves to this machine through DNS could be anyone's: only "localhost" and
// address literals, with this server's port, name it.
bool HostIsOwn(const std::string& header, int port) {
    const size_t colon = header.rfind(':');
    if (colon == std::string::npos || header.substr(colon + 1) != std::to_string(port)) return false;
    const std::string host = header.substr(0, colon);
    return host == "localhost" || IsAddressLiteral(host);
}

void Refuse(httplib::Response& response, int status, const std::string& message) {
    response.status = status;
    response.set_content(json{{"error", message}}.dump(), "application/json");
}

// What the page's stream says every tick: the playhead, the player's values, the file's version.
json PlayheadEvent(const EditorPlayhead& playhead, const std::string& version) {
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

struct EditorServer::Impl {
    httplib::Server http;
    EditorSettings settings;
    std::string secret;
    int port = 0;
    std::once_flag waveformOnce;
    std::string waveform;

    explicit Impl(EditorChannel& channel, const EditorSettings& settings)
        : settings(settings), channel(channel), saver(settings.timelinePath, settings.musicBeats) {}

    EditorChannel& channel;
    TimelineSaver saver;

    // Before any route: the Host, the secret and, for a change, the Origin.
    httplib::Server::HandlerResponse Guard(const httplib::Request& request, httplib::Response& response) const {
        const std::string host = request.get_header_value("Host");
        if (!HostIsOwn(host, port)) {
            Refuse(response, 403, "this server answers only to its own address");
        } else if (!request.path.starts_with("/" + secret + "/")) {
            Refuse(response, 403, "the editor's address carries a secret; open the address the player printed");
        } else if (request.method != "GET" && request.get_header_value("Origin") != "" &&
                   request.get_header_value("Origin") != "http://" + host) {
            Refuse(response, 403, "changes are taken only from the editor's own page");
        } else {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        return httplib::Server::HandlerResponse::Handled;
    }

    std::string Route(const httplib::Request& request) const { return request.path.substr(secret.size() + 2); }

    void ServeGet(const httplib::Request& request, httplib::Response& response) {
        const std::string route = Route(request);
        if (route == "api/state") {
            json state;
            saver.State(state);
            response.set_content(state.dump(), "application/json");
        } else if (route == "api/events") {
            ServeEvents(response);
        } else if (route == "api/values") {
            ServeValues(request, response);
        } else if (route == "api/waveform") {
            std::call_once(waveformOnce, [&] { waveform = WaveformJson(); });
            response.set_content(waveform, "application/json");
        } else {
            ServeFile(route.empty() ? "index.html" : route, response);
        }
    }

    // Only the page's own files, by exact name: no path reaches the file system.
    void ServeFile(const std::string& name, httplib::Response& response) const {
        if (std::find(std::begin(kPageFiles), std::end(kPageFiles), name) == std::end(kPageFiles))
            return Refuse(response, 404, "no such file");
        const WholeFile file = ReadWholeFile((settings.pageDirectory + "/" + name).c_str(), kPageFileLimit);
        if (!file.Ok()) return Refuse(response, 404, "the editor's page is not installed");
        response.set_content(std::string(file.bytes.begin(), file.bytes.end()), ContentType(name));
        response.set_header("Content-Security-Policy", "default-src 'self'; img-src 'self' data:");
    }

    void ServeEvents(httplib::Response& response) {
        auto ticks = std::make_shared<int>(0);
        auto version = std::make_shared<std::string>();
        response.set_header("Cache-Control", "no-store");
        response.set_chunked_content_provider(
            "text/event-stream", [this, ticks, version](size_t, httplib::DataSink& sink) {
                if ((*ticks)++ % kVersionEveryTicks == 0) {
                    std::string text;
                    *version = ReadWholeText(settings.timelinePath, text) ? TextVersion(text) : "";
                }
                const std::string message = "data: " + PlayheadEvent(channel.Playhead(), *version).dump() + "\n\n";
                if (!sink.write(message.data(), message.size())) return false;
                std::this_thread::sleep_for(kStreamInterval);
                return true;
            });
    }

    // The player's own interpolation of a track's keys as the file holds them, at the rows asked.
    void ServeValues(const httplib::Request& request, httplib::Response& response) const {
        const TimelineOnDisk disk = ReadTimelineOnDisk(settings.timelinePath);
        if (!disk.Sound()) return Refuse(response, 409, disk.error);
        const std::string name = request.get_param_value("track");
        const auto& tracks = disk.document.Tracks();
        const auto track =
            std::find_if(tracks.begin(), tracks.end(), [&](const TimelineTrack& t) { return t.name == name; });
        if (track == tracks.end()) return Refuse(response, 400, "no track \"" + name + "\"");
        SyncTrack sampled;
        sampled.keys = track->keys;
        sampled.keyCount = static_cast<int32_t>(sampled.keys.size());
        json values = json::array();
        for (const std::string& word : SplitWords(Replace(request.get_param_value("rows"), ',', ' '))) {
            double row = 0.0;
            if (!ParseNumber(word, row) || values.size() >= kMaxSampleRows)
                return Refuse(response, 400, "rows are numbers, comma-separated");
            values.push_back(GetValue(&sampled, row));
        }
        response.set_content(json{{"values", values}}.dump(), "application/json");
    }

    static std::string Replace(std::string text, char from, char to) {
        std::replace(text.begin(), text.end(), from, to);
        return text;
    }

    std::string WaveformJson() const {
        const SoundtrackEnvelope envelope =
            ReadSoundtrackEnvelope(settings.soundtrackPath.c_str(), settings.tempo, kWaveformSlicesPerBeat);
        return json{{"slicesPerBeat", envelope.slicesPerBeat}, {"low", envelope.low}, {"high", envelope.high}}.dump();
    }

    void ServePost(const httplib::Request& request, httplib::Response& response) {
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
        response.set_content("{}", "application/json");
    }

    double Beat(const json& value) const {
        const double beat = value.get<double>();
        if (!std::isfinite(beat) || beat < 0.0 || beat > settings.musicBeats)
            throw std::invalid_argument("the beat lies outside the music");
        return beat;
    }

    void Edit(const json& body, httplib::Response& response) {
        json answer;
        response.status = saver.Edit(body, answer);
        if (response.status == 200) {
            // The last frame published before the player hears of the save: the frame after the
            // next one at the latest plays the new keys.
            answer["frame"] = channel.Playhead().frame;
            channel.Post({EditorCommand::Kind::kTimelineSaved});
        }
        response.set_content(answer.dump(), "application/json");
    }
};

EditorServer::EditorServer(EditorChannel& channel) : channel(channel) {}

EditorServer::~EditorServer() { Stop(); }

bool EditorServer::Start(const EditorSettings& settings, std::string& error) {
    // Whatever a killed run left half-saved goes before anything is served.
    RemoveStaleSaves(settings.timelinePath);
    impl = std::make_unique<Impl>(channel, settings);
    impl->secret = MakeSecret();
    httplib::Server& http = impl->http;
    http.set_payload_max_length(4u << 20);
    http.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        return impl->Guard(request, response);
    });
    http.Get(".*", [this](const httplib::Request& request, httplib::Response& response) {
        impl->ServeGet(request, response);
    });
    http.Post(".*", [this](const httplib::Request& request, httplib::Response& response) {
        impl->ServePost(request, response);
    });
    impl->port = settings.port == 0 ? http.bind_to_any_port(settings.listenAddress) : settings.port;
    if (impl->port <= 0 || (settings.port != 0 && !http.bind_to_port(settings.listenAddress, settings.port))) {
        error =
            "the timeline editor cannot listen on " + settings.listenAddress + " port " + std::to_string(settings.port);
        impl.reset();
        return false;
    }
    const std::string shown = settings.listenAddress == "0.0.0.0" ? "127.0.0.1" : settings.listenAddress;
    url = "http://" + shown + ":" + std::to_string(impl->port) + "/" + impl->secret + "/";
    thread = std::thread([this] { impl->http.listen_after_bind(); });
    // A stop before the thread listens would be missed, and the join would never end.
    for (int waited = 0; !impl->http.is_running() && waited < 2000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return true;
}

void EditorServer::Stop() {
    if (!impl) return;
    impl->http.stop();
    if (thread.joinable()) thread.join();
    impl.reset();
}
