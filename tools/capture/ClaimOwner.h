#pragma once
// Who holds a claim file (OwnerClaim.h), as the file records it, and whether that owner is
// provably gone. A claim is judged without any lock, so that it holds on file systems whose locks
// fail (Lustre without flock) or stay on one node (NFS with nolock, BeeGFS): a process of this
// host is looked up by its id and start, Slurm jobs are asked of squeue, and a process of another
// host is never taken for gone.
//
// The file is text, one "key value" a line: host, pid, started (boot and start of the process,
// so that a reused id is not taken for the owner), since (seconds since 1970), and in a Slurm job
// job (JOB or ARRAY_TASK) and restarts; a claim handed to a submission's jobs has jobs (J1,J2).

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct ClaimOwner {
    std::string host;
    unsigned long pid = 0;
    std::string started;
    int64_t since = 0;
    std::string job;                // the Slurm job or array task the process ran in
    int64_t restarts = 0;           // of that job, as Slurm requeued it
    std::vector<std::string> jobs;  // Slurm jobs the claim was handed to

    static ClaimOwner ThisProcess();
    std::string Text() const;
    // Null for anything that is not a whole claim: an empty or torn file.
    static std::optional<ClaimOwner> Parse(const std::string& text);
    // "process 12 on node7 since 2026-12-10 06:40:02 UTC", or the jobs.
    std::string Describe() const;
};

enum class OwnerState {
    kHere,     // this process, or the Slurm job it runs in
    kRunning,  // known to be alive
    kUnknown,  // on another host, or Slurm does not answer: only a person can tell it is gone
    kGone,
};

// `why` says, for a claim that stands, what keeps it.
OwnerState JudgeOwner(const ClaimOwner& owner, std::string& why);

// This machine's name, as claims record their owners' and tasks name their node.
std::string HostName();
