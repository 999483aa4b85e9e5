// SPDX-License-Identifier: MIT
// Shared helpers of the fuzz targets: a scratch file per process.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace z2fuzz {

inline std::string scratch_dir() {
    std::string d = std::string(ZERIR2_ROOT_PREFIX) + "/fuzz-" + std::to_string(getpid());
    std::string cmd = "mkdir -p '" + d + "'";
    if (std::system(cmd.c_str()) != 0) std::abort();
    return d;
}

inline void put_file(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) std::abort();
    if (size && std::fwrite(data, 1, size, f) != size) std::abort();
    std::fclose(f);
}

}  // namespace z2fuzz
