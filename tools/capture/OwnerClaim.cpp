#include "OwnerClaim.h"

#include "CaptureSession.h"
#include "ClaimOwner.h"
#include "io/FileCalls.h"
#include "io/TemporaryCleanup.h"
#include "io/TemporaryFile.h"

#include <chrono>
#include <fstream>
#include <system_error>
#include <thread>
#include <utility>

namespace {

// Enough for a few processes that find one stale claim together, each trying again after another
// took it over.
constexpr int kAttempts = 20;
constexpr std::chrono::minutes kTornAge{1};

enum class Found { kNone, kHere, kHeld, kGone };

// Up to one byte more than a claim may hold, so that a longer file reads as no claim.
std::string ReadClaim(const std::filesystem::path& file) {
    constexpr std::streamsize kMost = 4097;
    std::ifstream in(file, std::ios::binary);
    std::string text(kMost, '\0');
    in.read(text.data(), kMost);
    text.resize(static_cast<size_t>(in.gcount()));
    return text;
}

bool OlderThan(const std::filesystem::path& file, std::chrono::minutes age) {
    std::error_code failure;
    const auto written = std::filesystem::last_write_time(file, failure);
    return !failure && std::filesystem::file_time_type::clock::now() - written > age;
}

// What the claim at `file` says; `text` is what it holds, `refusal` why it stands.
Found Inspect(const std::filesystem::path& file, std::string& text, std::string& refusal) {
    std::error_code failure;
    if (!std::filesystem::exists(file, failure)) return Found::kNone;
    text = ReadClaim(file);
    const std::optional<ClaimOwner> owner = ClaimOwner::Parse(text);
    if (!owner) {
        if (OlderThan(file, kTornAge)) return Found::kGone;
        refusal = Quoted(file) + " holds no whole claim: another process may be writing it; try again in a "
                                 "minute, when a claim left so is taken over";
        return Found::kHeld;
    }
    std::string why;
    const OwnerState state = JudgeOwner(*owner, why);
    if (state == OwnerState::kHere) return Found::kHere;
    if (state == OwnerState::kGone) return Found::kGone;
    refusal = Quoted(file) + " is held by " + owner->Describe() + ": " + why;
    const std::string gone = owner->jobs.empty() ? owner->host + " is known to be down" : "they have ended";
    if (state == OwnerState::kUnknown) refusal += "; if " + gone + ", remove " + Quoted(file) + " by hand";
    return Found::kHeld;
}

// Under a second claim beside, so that of two processes that found the same claim gone only one
// removes it, and neither removes the one a third makes after it: the claim is judged again, and
// must still hold what was judged gone. A guard left by a killed process goes after a minute.
bool RemoveStale(const std::filesystem::path& file, const std::string& stale, const std::filesystem::path& part) {
    const std::string guard = file.string() + ".takeover";
    bool taken = false;
    std::string reason;
    const FileHandle held = CreateExclusive(guard, taken, reason);
    if (held == kNoFile) {
        if (taken && OlderThan(guard, kTornAge)) RemoveFile(guard);
        return false;
    }
    CloseFile(held);
    std::string text, refusal;
    const bool gone = Inspect(file, text, refusal) == Found::kGone && text == stale;
    if (gone) {
        if (!part.empty()) RemoveFile(part.string());
        RemoveFile(file.string());
    }
    RemoveFile(guard);
    return gone;
}

}  // namespace

bool OwnerClaim::Take(const std::filesystem::path& claimed, std::string& error) {
    Release();
    file = claimed;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        bool taken = false;
        std::string reason;
        const FileHandle made = CreateExclusive(file.string(), taken, reason);
        if (made != kNoFile) {
            text = ClaimOwner::ThisProcess().Text();
            owned = true;
            slot = RegisterTemporary(file.string());
            if (WriteAll(made, text, reason) && SyncAndClose(made, reason)) return true;
            error = "cannot write " + Quoted(file) + ": " + reason;
            Release();
            return false;
        }
        if (!taken) {
            error = "cannot make " + Quoted(file) + ": " + reason;
            return false;
        }
        std::string stale;
        switch (Inspect(file, stale, error)) {
        case Found::kHere:
            text = stale;
            owned = true;
            return true;
        case Found::kHeld: return false;
        case Found::kNone: break;
        case Found::kGone:
            if (!RemoveStale(file, stale, {})) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            break;
        }
    }
    error = Quoted(file) + " keeps changing hands; try again";
    return false;
}

bool OwnerClaim::HandTo(const std::vector<std::string>& jobs, std::string& error) {
    ClaimOwner owner = ClaimOwner::ThisProcess();
    owner.jobs = jobs;
    const std::string handed = owner.Text();
    TemporaryFile replacement;
    if (!replacement.Create(file.string(), error) || !replacement.Write(handed, error) || !replacement.Finish(error) ||
        !replacement.CommitAs(file.string(), error))
        return false;
    ForgetTemporary(std::exchange(slot, -1));
    owned = false;
    text = handed;
    return true;
}

void OwnerClaim::Release() {
    ForgetTemporary(std::exchange(slot, -1));
    if (!std::exchange(owned, false)) return;
    // Only ours: a claim judged gone by mistake and taken over stays with its new owner.
    if (ReadClaim(file) == text) RemoveFile(file.string());
}

bool OwnerClaim::RemoveIfGone(const std::filesystem::path& file, const std::filesystem::path& part) {
    std::string text, refusal;
    return Inspect(file, text, refusal) == Found::kGone && RemoveStale(file, text, part);
}

bool OwnerClaim::Check(const std::filesystem::path& file, std::string& error) {
    std::string text;
    return Inspect(file, text, error) != Found::kHeld;
}
