// quarn_bench_saves: the editor's guarded save (ReplaceIfUnchanged) against a text editor that
// saves the same file without looking, as fast as it can, while readers read the file throughout.
// The text is the demo's timeline with non-ASCII comments and two counters on top: the writer's
// saves and the guarded saves, each side keeping the other's counter as it read it.
//
//   quarn_bench_saves [--seconds S] [--in-place] [--readers N]
//
// The writer saves by a rename over the file, or with --in-place by writing into it; it reads the
// file before each save, as an editor that reloads a changed file does. It prints:
//   - writer saves lost: the writer found in place a guarded save that did not hold its last save
//     (must be 0 where the file system exchanges; QUARN_SAVE_EXCHANGE=none shows the rename
//     fallback, QUARN_SAVE_IN_PLACE=1 the in-place save);
//   - transient texts: whole texts the readers saw that no save left in place (a guarded save
//     swapped in, then back out, when the writer's save landed within the swap), per 1,000
//     guarded saves, and how often the writer itself read one;
//   - torn reads: reads that caught an in-place write half-way.

#include "BenchOptions.h"
#include "io/SafeReplace.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

using Counters = std::pair<long, long>;  // writer's saves, guarded saves

std::string ReadText(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

struct Timeline {
    std::string body;  // everything below the two counters

    std::string Text(Counters counters) const {
        return "# writer " + std::to_string(counters.first) + "\n# guarded " + std::to_string(counters.second) +
               "\n" + body;
    }
    // False for a text that is not whole (an in-place write caught half-way).
    bool Parse(const std::string& text, Counters& counters) const {
        long writer = -1;
        long guarded = -1;
        int used = 0;
        if (std::sscanf(text.c_str(), "# writer %ld\n# guarded %ld\n%n", &writer, &guarded, &used) != 2 || used <= 0)
            return false;
        counters = {writer, guarded};
        return text.compare(static_cast<size_t>(used), std::string::npos, body) == 0;
    }
};

struct Tally {
    std::mutex lock;
    std::set<Counters> written;      // every text the writer saved
    std::set<Counters> replaced;     // every text a guarded save left in place
    std::set<Counters> seen;         // every whole text a reader read
    std::vector<Counters> regressed;  // texts the writer read without its last save
    long writerSaves = 0;
    long guardedSaves = 0;
    long guardedRetries = 0;
    long refused = 0;
    long torn = 0;
};

void Write(const fs::path& path, const std::string& text, bool inPlace) {
    if (inPlace) {
        std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
        return;
    }
    fs::path other = path;
    other += ".editor~";
    std::ofstream(other, std::ios::binary | std::ios::trunc) << text;
    fs::rename(other, path);
}

// A text editor that saves without checking: it reads, adds one to its counter, saves.
void RunWriter(const fs::path& path, const Timeline& timeline, bool inPlace, const std::atomic<bool>& done,
               Tally& tally) {
    long mine = 0;
    while (!done) {
        Counters now;
        if (!timeline.Parse(ReadText(path), now)) continue;
        mine = std::max(mine, now.first) + 1;
        const Counters written{mine, now.second};
        {
            std::lock_guard<std::mutex> hold(tally.lock);
            if (now.first < mine - 1) tally.regressed.push_back(now);
            tally.written.insert(written);
            ++tally.writerSaves;
        }
        Write(path, timeline.Text(written), inPlace);
    }
}

void RunGuarded(const fs::path& path, const Timeline& timeline, const std::atomic<bool>& done, Tally& tally) {
    while (!done) {
        const std::string text = ReadText(path);
        Counters now;
        if (!timeline.Parse(text, now)) continue;
        const Counters next{now.first, now.second + 1};
        std::string error;
        {
            // Recorded before the swap: a reader may see it the moment it lands.
            std::lock_guard<std::mutex> hold(tally.lock);
            tally.replaced.insert(next);
        }
        const ReplaceOutcome outcome = ReplaceIfUnchanged(path.string(), text, timeline.Text(next), error);
        std::lock_guard<std::mutex> hold(tally.lock);
        if (outcome == ReplaceOutcome::kReplaced) {
            ++tally.guardedSaves;
            continue;
        }
        tally.replaced.erase(next);
        ++(outcome == ReplaceOutcome::kChanged ? tally.guardedRetries : tally.refused);
        if (outcome == ReplaceOutcome::kRefused) std::fprintf(stderr, "refused: %s\n", error.c_str());
    }
}

void RunReader(const fs::path& path, const Timeline& timeline, const std::atomic<bool>& done, Tally& tally) {
    std::set<Counters> seen;
    long torn = 0;
    while (!done) {
        Counters now;
        if (timeline.Parse(ReadText(path), now))
            seen.insert(now);
        else
            ++torn;
    }
    std::lock_guard<std::mutex> hold(tally.lock);
    tally.seen.insert(seen.begin(), seen.end());
    tally.torn += torn;
}

}  // namespace

int main(int argc, char** argv) {
    const std::optional<double> seconds = NumberOption(argc, argv, "--seconds", 10.0, 0.1, 3600.0);
    const std::optional<double> readers = NumberOption(argc, argv, "--readers", 2.0, 0.0, 16.0);
    if (!seconds || !readers) return 2;
    const bool inPlace = HasFlag(argc, argv, "--in-place");

    const fs::path folder = fs::temp_directory_path() / ("quarn-save-race-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path path = folder / "timeline.txt";
    const Timeline timeline{"# Müller's bloom: ½ brighter, « sanft »\n" + ReadText(QUARN_SOURCE_DIR "/data/timeline.txt")};
    Write(path, timeline.Text({0, 0}), false);

    Tally tally;
    tally.written.insert({0, 0});
    std::atomic<bool> done = false;
    std::vector<std::thread> threads;
    threads.emplace_back(RunWriter, std::cref(path), std::cref(timeline), inPlace, std::cref(done), std::ref(tally));
    threads.emplace_back(RunGuarded, std::cref(path), std::cref(timeline), std::cref(done), std::ref(tally));
    for (int reader = 0; reader < static_cast<int>(*readers); ++reader)
        threads.emplace_back(RunReader, std::cref(path), std::cref(timeline), std::cref(done), std::ref(tally));
    std::this_thread::sleep_for(std::chrono::duration<double>(*seconds));
    done = true;
    for (std::thread& thread : threads) thread.join();
    fs::remove_all(folder);

    // A text the writer read without its last save is a loss when a guarded save left it in place,
    // and otherwise a transient one that went again.
    long lost = 0;
    for (const Counters& text : tally.regressed) lost += tally.replaced.count(text);
    long transient = 0;
    for (const Counters& text : tally.seen) transient += !tally.written.count(text) && !tally.replaced.count(text);
    const double perThousand = tally.guardedSaves > 0 ? 1000.0 * transient / tally.guardedSaves : 0.0;
    std::printf("writer by %s, %.1f s: %ld writer saves, %ld guarded saves (%ld retried after a change, %ld refused)\n",
                inPlace ? "writing in place" : "rename", *seconds, tally.writerSaves, tally.guardedSaves,
                tally.guardedRetries, tally.refused);
    std::printf("writer saves lost: %ld; the writer read a transient text %ld times\n", lost,
                static_cast<long>(tally.regressed.size()) - lost);
    std::printf("transient texts seen by readers: %ld (%.2f per 1,000 guarded saves); torn reads: %ld\n", transient,
                perThousand, tally.torn);
    return 0;
}
