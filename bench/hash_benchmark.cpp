// Yardsticks for moravel-inspect's benchmark (bench/inspect_benchmark.sh): the work any verification of the
// five entries must do, done directly on the payload folder's files.
//   moravel-hash-bench hash FOLDER THREADS     payloadHash of the five files, the files spread over THREADS
//   moravel-hash-bench chains FOLDER           the packer's interleaved hash of all five on one thread
//   moravel-hash-bench write FOLDER OUT        one write of each file, from memory, to a new file in OUT
// The files are mapped and populated first; only the work itself is timed.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <span>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "payload/payload_format.h"
#include "payload/payload_hash.h"
#include "tools/packer/hash_chains.h"

using packer::payloadHashes;

namespace {

std::vector<std::span<const uint8_t>> mapFiles(const std::string& folder) {
    std::vector<std::span<const uint8_t>> files;
    for (const char* key : PAYLOAD_ENTRY_KEYS) {
        const std::string path = folder + "/" + key;
        int fd = ::open(path.c_str(), O_RDONLY);
        struct stat info;
        if (fd < 0 || ::fstat(fd, &info) != 0) {
            std::perror(path.c_str());
            std::exit(2);
        }
        void* at = info.st_size == 0 ? nullptr : ::mmap(nullptr, size_t(info.st_size), PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        ::close(fd);
        files.emplace_back(static_cast<const uint8_t*>(at), size_t(info.st_size));
    }
    return files;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return 2;
    const std::string mode = argv[1];
    const auto files = mapFiles(argv[2]);
    uint64_t bytes = 0;
    for (const auto& file : files) bytes += file.size();
    const auto started = std::chrono::steady_clock::now();
    if (mode == "hash" && argc == 4) {
        const unsigned threads = unsigned(std::atoi(argv[3]));
        std::vector<uint32_t> hashes(files.size());
        std::atomic<size_t> next{0};
        auto work = [&] {
            for (size_t i; (i = next.fetch_add(1)) < files.size();) hashes[i] = payloadHash(files[i].data(), files[i].size());
        };
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
        for (auto& thread : pool) thread.join();
        std::printf("hash, %u threads: %.3f s for %llu bytes (first hash 0x%08x)\n", threads, seconds(started),
                    static_cast<unsigned long long>(bytes), hashes[0]);
    } else if (mode == "chains" && argc == 3) {
        const std::vector<uint32_t> hashes = payloadHashes(files);
        std::printf("interleaved hash, 1 thread: %.3f s for %llu bytes (first hash 0x%08x)\n", seconds(started),
                    static_cast<unsigned long long>(bytes), hashes[0]);
    } else if (mode == "write" && argc == 4) {
        for (size_t i = 0; i < files.size(); ++i) {
            const std::string path = std::string(argv[3]) + "/entry" + std::to_string(i);
            int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            for (size_t done = 0; done < files[i].size();) {
                ssize_t n = ::write(fd, files[i].data() + done, files[i].size() - done);
                if (n <= 0) return 1;
                done += size_t(n);
            }
            ::close(fd);
        }
        std::printf("write: %.3f s for %llu bytes\n", seconds(started), static_cast<unsigned long long>(bytes));
    } else {
        return 2;
    }
    return 0;
}
