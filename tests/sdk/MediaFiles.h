#pragma once
// Picture and sound files for media tests: PNG pictures in the renderer's
// byte order (alpha, red, green, blue) and 16-bit mono WAV sounds; a test's
// own directory for them.
#include <cstdint>
#include <string>
#include <vector>

namespace velto::test {

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> argb;
};

bool writePng(const std::string& path, const Picture& picture);
// Empty (0 x 0) when the file is no readable PNG.
Picture readPng(const std::string& path);

// The samples of a 16-bit mono WAV file; empty when there are none.
std::vector<int16_t> readWav(const std::string& path);

// The files in `directory` whose names start with `prefix`, sorted by name.
std::vector<std::string> filesStartingWith(const std::string& directory, const std::string& prefix);

// An empty directory "<name>_<pid>" under the tests' temporary directory.
std::string freshTestDirectory(const std::string& name);

}  // namespace velto::test
