// fuzz_support.cpp: invariant checks and per-process scratch files of the fuzz targets.
#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

std::map<std::string, std::string>& scratch_files() {
    static std::map<std::string, std::string> files;
    return files;
}

void remove_scratch_files() {
    for (const auto& entry : scratch_files()) {
        remove(entry.second.c_str());
    }
}

}  // namespace

void fuzz_require(bool ok, const char* what) {
    if (!ok) {
        fprintf(stderr, "fuzz invariant broken: %s\n", what);
        abort();
    }
}

const char* fuzz_temp_path(const char* name) {
    auto& files = scratch_files();
    auto found = files.find(name);
    if (found == files.end()) {
        if (files.empty()) {
            atexit(remove_scratch_files);
        }
        // In memory where possible: a file per input on disk would slow fuzzing thirtyfold.
        const char* folder = getenv("TMPDIR");
        if (access("/dev/shm", W_OK) == 0) {
            folder = "/dev/shm";
        } else if (!folder || !*folder) {
            folder = "/tmp";
        }
        const std::string path =
            std::string(folder) + "/kvx-fuzz-" + std::to_string(getpid()) + "-" + name;
        found = files.emplace(name, path).first;
    }
    return found->second.c_str();
}

void fuzz_write_file(const char* path, const uint8_t* data, size_t size) {
    FILE* file = fopen(path, "wb");
    fuzz_require(file != nullptr, "the scratch file can be created");
    const bool written = size == 0 || fwrite(data, 1, size, file) == size;
    fuzz_require(fclose(file) == 0 && written, "the scratch file can be written");
}
