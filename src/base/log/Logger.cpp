#include "log/ILogger.h"

ILogger* gLogger = nullptr;
