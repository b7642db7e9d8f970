// fuzz_support.cpp: invariant checks and per-process scratch files of the fuzz targets.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

void fuzz_require(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz invariant broken: %s\n", what);
        abort();
    }
}

const char* fuzz_file(const char* name, const uint8_t* data, size_t size) {
    static std::map<std::string, std::string> paths;
    [[maybe_unused]] static const int registered = atexit([] {
        for (const auto& entry : paths) {
            remove(entry.second.c_str());
        }
    });
    std::string& path = paths[name];
    if (path.empty()) {
        // In memory where possible: a file per input on disk would slow fuzzing thirtyfold.
        const char* tmpdir = getenv("TMPDIR");
        const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : tmpdir ? tmpdir : "/tmp";
        path = std::string(folder) + "/kvx-fuzz-" + std::to_string(getpid()) + "-" + name;
    }
    FILE* file = fopen(path.c_str(), "wb");
    fuzz_require(file != nullptr, "the scratch file can be created");
    const bool written = size == 0 || fwrite(data, 1, size, file) == size;
    fuzz_require(fclose(file) == 0 && written, "the scratch file can be written");
    return path.c_str();
}
