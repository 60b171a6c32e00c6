// What the fuzz targets check besides the sanitizers: rules whose breaking
// names itself and stops the run, and whether a fixed field holds its end.
#pragma once

#include <cstddef>
#include <cstdio>
#include <cstdlib>

#include "base/text.h"

inline void RequireAt(bool condition, const char* rule, int line) {
    if (condition) return;
    std::fprintf(stderr, "rule broken at line %d: %s\n", line, rule);
    std::abort();
}
#define REQUIRE(condition) RequireAt((condition), #condition, __LINE__)

// The field's text ends inside the field.
template <typename Char, std::size_t N>
bool Terminated(const Char (&text)[N]) {
    return BoundedLength(text, N) < N;
}
