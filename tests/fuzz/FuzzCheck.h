#pragma once

#include <cstdio>
#include <cstdlib>

/// Ends the run with a report when a property of the code under test does not hold: the fuzzer
/// keeps the input that did it, and a replay fails on it.
#define FUZZ_CHECK(condition)                                                                      \
    do {                                                                                           \
        if (!(condition)) {                                                                        \
            std::fprintf(stderr, "%s:%d: property does not hold: %s\n", __FILE__, __LINE__,        \
                         #condition);                                                              \
            std::abort();                                                                          \
        }                                                                                          \
    } while (false)
