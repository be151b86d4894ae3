#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace ardenax::testing {

// A file's bytes; empty when it cannot be read.
inline std::string contentOf(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace ardenax::testing
