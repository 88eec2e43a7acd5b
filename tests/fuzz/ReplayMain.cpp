// Runs a fuzz target over every file of its committed corpus, without
// libFuzzer: the regression replay that the ordinary test suite (and its
// sanitizer build) carries out. Usage: <target> <corpus-dir-or-file>...
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <dirent.h>
#include <string>
#include <sys/stat.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) __attribute__((weak));

namespace {

bool runFile(const std::string& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        std::fprintf(stderr, "cannot open %s\n", path.c_str());
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    int files = 0;
    bool ok = true;
    for (int i = 1; i < argc; ++i) {
        struct stat st {};
        if (stat(argv[i], &st) != 0) {
            std::fprintf(stderr, "missing %s\n", argv[i]);
            ok = false;
            continue;
        }
        if (S_ISDIR(st.st_mode)) {
            DIR* d = opendir(argv[i]);
            while (dirent* e = readdir(d)) {
                if (e->d_name[0] == '.')
                    continue;
                ok = runFile(std::string(argv[i]) + "/" + e->d_name) && ok;
                ++files;
            }
            closedir(d);
        } else {
            ok = runFile(argv[i]) && ok;
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    return ok && files > 0 ? 0 : 1;
}
