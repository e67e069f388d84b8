#pragma once
// A file that says who works on something: made by exclusive creation, which every shared file
// system keeps (NFS since version 3, Lustre, BeeGFS), rather than by a lock, which some do not
// keep or keep per node. Its owner (ClaimOwner.h) is written in one write, and the file goes when
// its process ends, unless the claim was handed to Slurm jobs. A claim is taken over only when its
// owner is provably gone; a file left empty or torn (its process killed between the creation and
// the write) counts as gone once it is a minute old, and as being written until then.

#include <filesystem>
#include <string>
#include <vector>

class OwnerClaim {
public:
    OwnerClaim() = default;
    OwnerClaim(const OwnerClaim&) = delete;
    OwnerClaim& operator=(const OwnerClaim&) = delete;
    ~OwnerClaim() { Release(); }

    // Claims `file` for this process. A claim already there that was handed to the Slurm job this
    // process runs in is taken as it is. Otherwise `error` names the owner.
    bool Take(const std::filesystem::path& file, std::string& error);
    // From now on the claim is the jobs', and stays when this process ends: the next one to find
    // it asks squeue whether any of them is still queued or running.
    bool HandTo(const std::vector<std::string>& jobs, std::string& error);
    // Removes the file if this process made it, or if it was handed to this process's job.
    void Release();
    bool Held() const { return owned; }

    // Whether work may go on under `file` without taking it: no one holds it, or the Slurm job this
    // process runs in does. Otherwise `error` names the owner.
    static bool Check(const std::filesystem::path& file, std::string& error);

    // Removes `file` if its owner is provably gone, with `part` (the file the claim stands for)
    // first; true when it did.
    static bool RemoveIfGone(const std::filesystem::path& file, const std::filesystem::path& part);

private:
    std::filesystem::path file;
    std::string text;  // as written, to know the file for ours before removing it
    bool owned = false;
    int slot = -1;  // in io/TemporaryCleanup.h's table, which removes it however the process ends
};
