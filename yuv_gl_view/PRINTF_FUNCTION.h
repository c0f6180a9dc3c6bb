#pragma once

#include <string>

// Trace object of the renderer widgets: created as a temporary at the start of
// an operation, it writes "kpz,in <name>" and "kpz,exit <name>" to standard
// output, each line flushed at once so the trace survives a crash.
class PRINTF_FUNCTION {
public:
    explicit PRINTF_FUNCTION(const char* name);
    ~PRINTF_FUNCTION();

    PRINTF_FUNCTION(const PRINTF_FUNCTION&) = delete;
    PRINTF_FUNCTION& operator=(const PRINTF_FUNCTION&) = delete;

private:
    std::string m_name;
};
