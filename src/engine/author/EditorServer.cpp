#include "author/EditorServer.h"

#include "audio/SoundtrackEnvelope.h"
#include "formats/TimelineDocument.h"
#include "io/AtomicFile.h"
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
constexpr size_t kMaxKeysPerTrack = 100000;
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

json KeysJson(const std::vector<SyncKey>& keys) {
    json list = json::array();
    for (const SyncKey& key : keys)
        list.push_back({key.row, key.value, key.type});
    return list;
}

// Throws json's exceptions on a malformed list; the caller answers them with 400.
std::vector<SyncKey> KeysFromJson(const json& list) {
    if (!list.is_array() || list.size() > kMaxKeysPerTrack)
        throw std::invalid_argument("keys are a list of [row, value, kind]");
    std::vector<SyncKey> keys;
    for (const json& item : list) {
        if (!item.is_array() || item.size() != 3 || !item[0].is_number_integer() || !item[1].is_number() ||
            !item[2].is_number_integer())
            throw std::invalid_argument("a key is [row, value, kind]");
        const long long row = item[0].get<long long>();
        const long long kind = item[2].get<long long>();
        if (row < INT32_MIN || row > INT32_MAX || kind < -128 || kind > 127)
            throw std::invalid_argument("a key's row or kind is out of range");
        keys.push_back(
            {static_cast<int32_t>(row), static_cast<float>(item[1].get<double>()), static_cast<int32_t>(kind)});
    }
    return keys;
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

// The timeline as it is on disk now.
struct TimelineOnDisk {
    bool readable = false;
    std::string version;
    TimelineDocument document;
    std::string error;  // empty when it parses

    bool Sound() const { return readable && error.empty(); }
};

TimelineOnDisk ReadOnDisk(const std::string& path) {
    TimelineOnDisk disk;
    std::string text;
    disk.readable = ReadWholeText(path, text);
    if (!disk.readable) {
        disk.error = "timeline.txt: cannot be read";
        return disk;
    }
    disk.version = TextVersion(text);
    disk.document.Parse(text, "timeline.txt", disk.error);
    return disk;
}

}  // namespace

struct EditorServer::Impl {
    httplib::Server http;
    EditorSettings settings;
    std::string secret;
    int port = 0;
    std::mutex fileMutex;  // one edit at a time: read, check, save
    std::once_flag waveformOnce;
    std::string waveform;

    explicit Impl(EditorChannel& channel) : channel(channel) {}

    EditorChannel& channel;

    json StateJson(const TimelineOnDisk& disk) const {
        json state = {{"version", disk.version}, {"rowsPerBeat", kRowsPerBeat}, {"musicBeats", settings.musicBeats}};
        if (!disk.Sound()) {
            state["error"] = disk.error;
            return state;
        }
        json tracks = json::array();
        for (const TimelineTrack& track : disk.document.Tracks())
            tracks.push_back({{"name", track.name}, {"keys", KeysJson(track.keys)}});
        state["tracks"] = std::move(tracks);
        return state;
    }

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
            response.set_content(StateJson(ReadOnDisk(settings.timelinePath)).dump(), "application/json");
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
        const TimelineOnDisk disk = ReadOnDisk(settings.timelinePath);
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

    // An edit made on another version of the file than the one on disk is refused: it would
    // overwrite what someone else saved. The page reloads and the author redoes it.
    void Edit(const json& body, httplib::Response& response) {
        const std::lock_guard<std::mutex> lock(fileMutex);
        TimelineOnDisk disk = ReadOnDisk(settings.timelinePath);
        const auto conflict = [&](const std::string& message) {
            json state = StateJson(disk);
            state["conflict"] = message;
            response.status = 409;
            response.set_content(state.dump(), "application/json");
        };
        if (!disk.Sound()) return conflict("the timeline on disk does not compile: " + disk.error);
        if (body.value("version", std::string()) != disk.version)
            return conflict("the timeline changed on disk since the page read it; the page now shows the new one");
        const json& tracks = body.at("tracks");
        if (!tracks.is_object()) return Refuse(response, 400, "tracks is an object of key lists");
        std::string error;
        for (const auto& [name, keys] : tracks.items())
            if (!disk.document.SetKeys(name, KeysFromJson(keys), error)) return Refuse(response, 400, error);
        if (!WriteFileAtomically(settings.timelinePath, disk.document.Text(), error))
            return Refuse(response, 500, error);
        disk.version = TextVersion(disk.document.Text());
        json state = StateJson(disk);
        // The last frame published before the player hears of the save: the frame after the next
        // one at the latest plays the new keys.
        state["frame"] = channel.Playhead().frame;
        channel.Post({EditorCommand::Kind::kTimelineSaved});
        response.set_content(state.dump(), "application/json");
    }
};

EditorServer::EditorServer(EditorChannel& channel) : channel(channel) {}

EditorServer::~EditorServer() { Stop(); }

bool EditorServer::Start(const EditorSettings& settings, std::string& error) {
    impl = std::make_unique<Impl>(channel);
    impl->settings = settings;
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
