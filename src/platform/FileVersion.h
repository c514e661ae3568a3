#pragma once

// Build numbers of our binaries. Every binary carries the marker "QUORVANE-BUILD:<n>" (n decimal)
// as plain bytes, so the build of any file can be read without loading it: the stand-in for a
// version resource. A binary carries exactly one marker.

#include <cstdint>
#include <string>

namespace qv {

// The build of the file at path: the number of the first marker in it; 0 when the file is
// missing or unreadable or carries no marker.
std::uint32_t ReadFileBuild(const std::string& path);

// The build this program was made as.
std::uint32_t ThisBuild();

}  // namespace qv

#define QV_BUILD_MARKER_TEXT2(n) #n
#define QV_BUILD_MARKER_TEXT(n) QV_BUILD_MARKER_TEXT2(n)

// Puts the marker for build n into the binary that compiles it; use once per binary.
#define QV_DEFINE_BUILD_MARKER(symbol, n) \
    extern "C" __attribute__((used)) const char symbol[] = "QUORVANE-BUILD:" QV_BUILD_MARKER_TEXT(n)
