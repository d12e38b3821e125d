#include "tools/packer/signal_cleanup.h"

#include <atomic>
#include <climits>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Fixed slots, so that a handler never meets a container being resized. A slot is used while its flag is set.
constexpr int SLOTS = 16;
struct Slot {
    std::atomic<bool> used{false};
    char path[PATH_MAX];
    int fd = -1;
    uint64_t size = 0;
};
Slot temporaries[SLOTS];
Slot inputs[SLOTS];

Slot* claim(Slot* slots) {
    for (int i = 0; i < SLOTS; ++i)
        if (!slots[i].used.load() && slots[i].path[0] == 0) return &slots[i];
    return nullptr;
}

void fill(Slot* slot, const char* path) {
    if (slot == nullptr) return;
    std::strncpy(slot->path, path, PATH_MAX - 1);
    slot->path[PATH_MAX - 1] = 0;
    slot->used.store(true);
}

void release(Slot& slot) {
    slot.used.store(false);
    slot.path[0] = 0;
    slot.fd = -1;
}

void say(const char* text) { (void)!::write(STDERR_FILENO, text, std::strlen(text)); }

void sayNumber(uint64_t value) {
    char digits[24];
    int n = 0;
    do digits[n++] = char('0' + value % 10); while ((value /= 10) != 0);
    char text[24];
    for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
    text[n] = 0;
    say(text);
}

void removeTemporaries() {
    for (Slot& slot : temporaries)
        if (slot.used.load()) ::unlink(slot.path);
}

// SIGBUS: a mapped input lost pages under us. Name the input whose size changed, if one has.
void onBusError(int) {
    removeTemporaries();
    bool named = false;
    for (Slot& slot : inputs) {
        struct stat info;
        if (!slot.used.load() || ::fstat(slot.fd, &info) != 0 || uint64_t(info.st_size) == slot.size) continue;
        say("moravel-pack: ");
        say(slot.path);
        say(": changed while it was being read (");
        sayNumber(slot.size);
        say(" bytes, now ");
        sayNumber(uint64_t(info.st_size));
        say("); nothing written\n");
        named = true;
    }
    if (!named) say("moravel-pack: an input file changed while it was being read (SIGBUS); nothing written\n");
    ::_exit(1);
}

// SIGINT, SIGTERM, SIGHUP: remove the temporaries, then end as the signal would have ended us.
void onStop(int signal) {
    removeTemporaries();
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

}  // namespace

void installSignalCleanup() {
    struct sigaction action = {};
    sigemptyset(&action.sa_mask);
    action.sa_handler = onStop;
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    action.sa_handler = onBusError;
    ::sigaction(SIGBUS, &action, nullptr);
}

void registerTemporary(const char* path) { fill(claim(temporaries), path); }

void unregisterTemporary(const char* path) {
    for (Slot& slot : temporaries)
        if (slot.used.load() && std::strcmp(slot.path, path) == 0) release(slot);
}

void registerInput(const char* path, int fd, uint64_t size) {
    Slot* slot = claim(inputs);
    if (slot == nullptr) return;
    slot->fd = fd;
    slot->size = size;
    fill(slot, path);
}

void unregisterInput(int fd) {
    for (Slot& slot : inputs)
        if (slot.used.load() && slot.fd == fd) release(slot);
}
