#include "SlurmQueue.h"

#include "ProgramRun.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <sstream>

namespace {

bool Located(const char* name, std::filesystem::path& path) {
    const std::optional<std::filesystem::path> found = FindOnPath(name);
    if (found) path = *found;
    return found.has_value();
}

std::string Joined(const std::vector<std::string>& ids) {
    std::string text;
    for (const std::string& id : ids) text += (text.empty() ? "" : ",") + id;
    return text;
}

}  // namespace

bool EndedBadly(const std::string& state) {
    static const char* const kBad[] = {"FAILED",        "CANCELLED", "TIMEOUT",   "NODE_FAIL", "OUT_OF_MEMORY",
                                       "BOOT_FAIL",     "DEADLINE",  "PREEMPTED", "REVOKED",   "SPECIAL_EXIT"};
    return std::find(std::begin(kBad), std::end(kBad), state) != std::end(kBad);
}

bool Active(const std::string& state) {
    return state != "COMPLETED" && !EndedBadly(state);
}

bool MayComeBack(const std::string& state) {
    return state == "PREEMPTED" || state == "NODE_FAIL";
}

bool IsJobId(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

bool SlurmQueue::Find(std::string& error) {
    if (Located("sbatch", sbatch) && Located("squeue", squeue) && Located("scancel", scancel)) return true;
    error = "--slurm needs Slurm: no sbatch, squeue or scancel on PATH (run it on the cluster's login node)";
    return false;
}

bool SlurmQueue::Submit(const std::vector<std::string>& options, const std::filesystem::path& script,
                        const std::vector<std::string>& arguments, std::string& id, std::string& error) const {
    std::vector<std::string> words = {sbatch.string(), "--parsable"};
    words.insert(words.end(), options.begin(), options.end());
    words.push_back(script.string());
    words.insert(words.end(), arguments.begin(), arguments.end());
    const ProgramRun run = RunProgram(words);
    // "12", or "12;cluster" on a federation.
    id = run.output.substr(0, run.output.find_first_of(";\n"));
    if (run.Succeeded() && IsJobId(id)) return true;
    error = "sbatch refused the job: " + run.Why();
    return false;
}

bool SlurmQueue::Read(const std::vector<std::string>& ids, std::vector<QueuedJob>& jobs, std::string& error) const {
    return ReadLines("--jobs=" + Joined(ids), jobs, error);
}

bool SlurmQueue::ReadNamed(const std::string& name, std::vector<QueuedJob>& jobs, std::string& error) const {
    return ReadLines("--name=" + name, jobs, error);
}

// The name and comment come last, as one: they are anyone's text, '|' included.
bool SlurmQueue::ReadLines(const std::string& selection, std::vector<QueuedJob>& jobs, std::string& error) const {
    jobs.clear();
    const ProgramRun run =
        RunProgram({squeue.string(), "--noheader", "--array", "--states=all", selection, "--format=%i|%T|%r|%j|%k"});
    // squeue refuses a list of which the controller knows no job any more.
    if (run.started && run.errors.find("Invalid job id") != std::string::npos) return true;
    if (!run.Succeeded()) {
        error = "squeue failed: " + run.Why();
        return false;
    }
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        const size_t first = line.find('|'), second = line.find('|', first + 1);
        const size_t third = second == std::string::npos ? second : line.find('|', second + 1);
        if (third == std::string::npos) continue;
        jobs.push_back({line.substr(0, first), line.substr(first + 1, second - first - 1),
                        line.substr(second + 1, third - second - 1), line.substr(third + 1)});
    }
    return true;
}

bool SlurmQueue::Cancel(const std::vector<std::string>& ids, std::string& error) const {
    std::vector<std::string> words = {scancel.string()};
    words.insert(words.end(), ids.begin(), ids.end());
    const ProgramRun run = RunProgram(words);
    if (run.Succeeded()) return true;
    error = "scancel failed: " + run.Why();
    return false;
}

bool SplitOptions(const std::string& text, std::vector<std::string>& words, std::string& error) {
    std::string word;
    bool inWord = false;
    char quote = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quote == '\'' && c != '\'') {
            word += c;
        } else if (quote == '"' && c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
            word += text[++i];
        } else if (quote == '"' && c != '"') {
            word += c;
        } else if (quote) {
            quote = 0;
        } else if (c == '\'' || c == '"') {
            quote = c;
            inWord = true;
        } else if (c == '\\' && i + 1 < text.size()) {
            word += text[++i];
            inWord = true;
        } else if (std::isspace(static_cast<unsigned char>(c))) {
            if (inWord) words.push_back(word);
            word.clear();
            inWord = false;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (quote) {
        error = std::string("--sbatch has an unclosed ") + quote + " in \"" + text + "\"";
        return false;
    }
    if (inWord) words.push_back(word);
    return true;
}
