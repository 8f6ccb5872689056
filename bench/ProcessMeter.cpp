// Runs one program and measures it the same way whatever it is: wall time from start to its
// end, CPU (user + system) of the program and of every process it started, and resident memory.
//
//   vaultry-bench-meter [--out FILE] -- PROGRAM [ARGS...]
//
// Appends one line of key=value pairs to FILE (standard error without --out) and exits with the
// program's exit code (128 + signal when it was killed, 125 when it could not be measured):
//
//   wall=1.234 cpu=0.567 user=0.400 sys=0.167 maxrss_kib=123456 own_hwm_kib=120000
//   tree_peak_kib=300000 procs=4 late_cpu=0.012 late_procs=1 exit=0
//
// wall        start to the program's end (not waiting for anything it left behind)
// cpu         user + sys of the program and of all its descendants, including those that
//             outlived it: this process is a child subreaper, so orphans come back to it and are
//             waited for (up to 10 s, then killed)
// maxrss_kib  wait4's ru_maxrss for the program: the larger of its own peak and the peak of any
//             descendant it waited for itself (what GNU time reports as %M)
// own_hwm_kib the program's own peak (VmHWM), read every 20 ms while it runs
// tree_peak_kib the largest sum of resident memory of the program and its descendants, sampled
// procs       processes seen in the tree, the program included
// late_*      descendants that were still running when the program ended (counted in cpu)

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <map>
#include <set>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSampleMs = 20;
constexpr int kLateGraceMs = 10000;
constexpr int kExitNotMeasured = 125;

double seconds(const timespec& t) {
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double now() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return seconds(t);
}

double cpuOf(const rusage& u) {
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

bool readSmall(const std::string& path, char* buffer, size_t size) {
    FILE* f = std::fopen(path.c_str(), "re");
    if (!f)
        return false;
    const size_t n = std::fread(buffer, 1, size - 1, f);
    std::fclose(f);
    buffer[n] = '\0';
    return n > 0;
}

// Parent pid from /proc/PID/stat; the command name may hold spaces and parentheses.
pid_t parentOf(pid_t pid) {
    char buffer[512];
    if (!readSmall("/proc/" + std::to_string(pid) + "/stat", buffer, sizeof buffer))
        return -1;
    const char* close = std::strrchr(buffer, ')');
    if (!close)
        return -1;
    char state = 0;
    int ppid = -1;
    if (std::sscanf(close + 1, " %c %d", &state, &ppid) != 2)
        return -1;
    return ppid;
}

long residentKib(pid_t pid) {
    char buffer[256];
    if (!readSmall("/proc/" + std::to_string(pid) + "/statm", buffer, sizeof buffer))
        return 0;
    long size = 0, resident = 0;
    if (std::sscanf(buffer, "%ld %ld", &size, &resident) != 2)
        return 0;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

long highWaterKib(pid_t pid) {
    char buffer[4096];
    if (!readSmall("/proc/" + std::to_string(pid) + "/status", buffer, sizeof buffer))
        return 0;
    const char* line = std::strstr(buffer, "VmHWM:");
    return line ? std::strtol(line + 6, nullptr, 10) : 0;
}

// Every process below the roots, the roots included.
std::vector<pid_t> treeOf(const std::set<pid_t>& roots) {
    std::map<pid_t, std::vector<pid_t>> children;
    if (DIR* proc = opendir("/proc")) {
        while (const dirent* entry = readdir(proc)) {
            char* end = nullptr;
            const long pid = std::strtol(entry->d_name, &end, 10);
            if (*end != '\0' || pid <= 0)
                continue;
            const pid_t parent = parentOf(pid_t(pid));
            if (parent > 0)
                children[parent].push_back(pid_t(pid));
        }
        closedir(proc);
    }
    // The program is both a root and a child of this process: count it once.
    std::set<pid_t> seen(roots.begin(), roots.end());
    std::vector<pid_t> tree(roots.begin(), roots.end());
    for (size_t i = 0; i < tree.size(); ++i)
        for (pid_t child : children[tree[i]])
            if (seen.insert(child).second)
                tree.push_back(child);
    return tree;
}

struct Figures {
    double wall = 0;
    rusage program{};
    int status = 0;
    long ownHighWater = 0;
    long treePeak = 0;
    std::set<pid_t> seen;
    double lateCpu = 0;
    int lateProcesses = 0;
};

void sample(pid_t program, bool programRunning, Figures& f) {
    std::set<pid_t> roots{getpid()};
    if (programRunning) {
        roots.insert(program);
        const long hwm = highWaterKib(program);
        if (hwm > f.ownHighWater)
            f.ownHighWater = hwm;
    }
    long sum = 0;
    for (pid_t pid : treeOf(roots)) {
        if (pid == getpid())
            continue;
        f.seen.insert(pid);
        sum += residentKib(pid);
    }
    if (sum > f.treePeak)
        f.treePeak = sum;
}

// Waits for a child to end or for the next sample time; true when something was reaped.
bool reapSome(pid_t program, bool& programRunning, double start, Figures& f) {
    bool any = false;
    for (;;) {
        int status = 0;
        rusage usage{};
        const pid_t pid = wait4(-1, &status, WNOHANG, &usage);
        if (pid <= 0)
            return any;
        any = true;
        if (pid == program) {
            f.wall = now() - start;
            f.program = usage;
            f.status = status;
            programRunning = false;
        } else {
            f.lateCpu += cpuOf(usage);
            ++f.lateProcesses;
        }
    }
}

bool haveChildren() {
    siginfo_t info{};
    return waitid(P_ALL, 0, &info, WEXITED | WNOHANG | WNOWAIT) == 0;
}

void waitForSignalOrTimeout(const sigset_t& chld, int ms) {
    timespec timeout{ms / 1000, long(ms % 1000) * 1000000L};
    sigtimedwait(&chld, nullptr, &timeout);
}

void killLeftovers() {
    const std::vector<pid_t> tree = treeOf({getpid()});
    for (pid_t pid : tree)
        if (pid != getpid())
            kill(pid, SIGKILL);
}

int exitCodeOf(int status) {
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    if (WIFSIGNALED(status))
        return 128 + WTERMSIG(status);
    return kExitNotMeasured;
}

void usage() {
    std::fputs("usage: vaultry-bench-meter [--out FILE] -- PROGRAM [ARGS...]\n", stderr);
}

} // namespace

int main(int argc, char** argv) {
    const char* outPath = nullptr;
    int first = 1;
    while (first < argc && std::strcmp(argv[first], "--") != 0) {
        if (std::strcmp(argv[first], "--out") == 0 && first + 1 < argc) {
            outPath = argv[first + 1];
            first += 2;
        } else {
            usage();
            return kExitNotMeasured;
        }
    }
    if (first + 1 >= argc) {
        usage();
        return kExitNotMeasured;
    }
    char** command = argv + first + 1;

    if (prctl(PR_SET_CHILD_SUBREAPER, 1) != 0)
        std::perror("vaultry-bench-meter: child subreaper");
    sigset_t chld;
    sigemptyset(&chld);
    sigaddset(&chld, SIGCHLD);
    sigprocmask(SIG_BLOCK, &chld, nullptr);

    const double start = now();
    const pid_t program = fork();
    if (program < 0) {
        std::perror("vaultry-bench-meter: fork");
        return kExitNotMeasured;
    }
    if (program == 0) {
        sigprocmask(SIG_UNBLOCK, &chld, nullptr);
        execvp(command[0], command);
        std::fprintf(stderr, "vaultry-bench-meter: cannot run %s: %s\n", command[0],
                     std::strerror(errno));
        _exit(127);
    }

    Figures f;
    bool programRunning = true;
    while (programRunning) {
        sample(program, true, f);
        waitForSignalOrTimeout(chld, kSampleMs);
        reapSome(program, programRunning, start, f);
    }
    // Whatever the program left running is ours now; its CPU belongs to the program.
    const double lateDeadline = now() + kLateGraceMs / 1000.0;
    bool killed = false;
    while (haveChildren()) {
        sample(program, false, f);
        if (!killed && now() > lateDeadline) {
            killLeftovers();
            killed = true;
        }
        waitForSignalOrTimeout(chld, kSampleMs);
        reapSome(program, programRunning, start, f);
    }

    const double programCpu = cpuOf(f.program);
    const long ownHighWater = f.ownHighWater;
    FILE* out = outPath ? std::fopen(outPath, "ae") : stderr;
    if (!out) {
        std::perror("vaultry-bench-meter: output file");
        return kExitNotMeasured;
    }
    std::fprintf(out,
                 "wall=%.3f cpu=%.3f user=%.3f sys=%.3f maxrss_kib=%ld own_hwm_kib=%ld "
                 "tree_peak_kib=%ld procs=%zu late_cpu=%.3f late_procs=%d exit=%d\n",
                 f.wall, programCpu + f.lateCpu,
                 double(f.program.ru_utime.tv_sec) + double(f.program.ru_utime.tv_usec) / 1e6,
                 double(f.program.ru_stime.tv_sec) + double(f.program.ru_stime.tv_usec) / 1e6,
                 f.program.ru_maxrss, ownHighWater, f.treePeak, f.seen.size(), f.lateCpu,
                 f.lateProcesses, exitCodeOf(f.status));
    if (outPath)
        std::fclose(out);
    return exitCodeOf(f.status);
}
