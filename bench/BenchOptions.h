#pragma once
// The few command-line settings of the whole-run benchmarks: "--name value" pairs and flags.

#include <optional>

// `fallback` when the option is absent; null (after saying why on stderr) when its value is
// missing, not a number or outside [low, high].
std::optional<double> NumberOption(int argc, char** argv, const char* name, double fallback, double low, double high);
bool HasFlag(int argc, char** argv, const char* name);
