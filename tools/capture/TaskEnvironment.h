#pragma once
// What a scheduler tells the process of one of its tasks through the environment: which task it
// is, and which GPU it was given.

#include <cstdint>
#include <optional>
#include <string>

// SLURM_ARRAY_TASK_ID (a Slurm array job), else JOB_COMPLETION_INDEX (a Kubernetes Indexed Job).
// Null with `error` set when neither holds a whole number.
std::optional<int64_t> TaskIndexFromEnvironment(std::string& error);

// The EGL device of the GPU the scheduler gave this task. Slurm numbers a node's GPUs as its
// driver does (SLURM_STEP_GPUS, SLURM_JOB_GPUS), and so does the EGL device list, which
// CUDA_VISIBLE_DEVICES does not reorder: under a constraint on devices Slurm sets that one to
// 0, 1 ... whatever the GPU, so it is read only where neither of Slurm's is set. The first GPU
// given is taken. Null with `error` set when none is named.
std::optional<int> GpuFromEnvironment(std::string& error);
