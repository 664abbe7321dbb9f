// What a fuzz target checks beyond "no crash": a property that fails aborts,
// which libFuzzer reports as a finding and saves the input that broke it.
#pragma once

#include <cstdio>
#include <cstdlib>

#define VELMORA_REQUIRE(condition)                                                          \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                   \
        }                                                                                   \
    } while (false)
