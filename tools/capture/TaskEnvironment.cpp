#include "TaskEnvironment.h"

#include <cerrno>
#include <cstdlib>

namespace {

// The first of a comma-separated list of whole numbers up to `most`, as the schedulers write them.
std::optional<int64_t> FirstNumber(const char* text, int64_t most) {
    if (!text || *text < '0' || *text > '9') return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const long long number = std::strtoll(text, &end, 10);
    if (errno != 0 || number > most || (*end != '\0' && *end != ',')) return std::nullopt;
    return number;
}

}  // namespace

std::optional<int64_t> TaskIndexFromEnvironment(std::string& error) {
    constexpr int64_t kMostTasks = 1'000'000;
    for (const char* name : {"SLURM_ARRAY_TASK_ID", "JOB_COMPLETION_INDEX"}) {
        const char* value = std::getenv(name);
        if (!value) continue;
        const std::optional<int64_t> index = FirstNumber(value, kMostTasks);
        if (index && *index >= 0) return index;
        error = std::string(name) + " is \"" + value + "\", not a task's index";
        return std::nullopt;
    }
    error = "--segment-index needs K, or SLURM_ARRAY_TASK_ID or JOB_COMPLETION_INDEX set by a scheduler";
    return std::nullopt;
}

std::optional<int> GpuFromEnvironment(std::string& error) {
    constexpr int64_t kLargestDevice = 15;
    for (const char* name : {"SLURM_STEP_GPUS", "SLURM_JOB_GPUS", "CUDA_VISIBLE_DEVICES"}) {
        const char* value = std::getenv(name);
        if (!value || *value == '\0') continue;
        const std::optional<int64_t> device = FirstNumber(value, kLargestDevice);
        if (device) return static_cast<int>(*device);
        error = std::string(name) + " is \"" + value + "\", not a GPU from 0 to 15";
        return std::nullopt;
    }
    error = "--gpu without a device draws on the GPU a scheduler gave the task, and none was given "
            "(no SLURM_STEP_GPUS, SLURM_JOB_GPUS or CUDA_VISIBLE_DEVICES)";
    return std::nullopt;
}
