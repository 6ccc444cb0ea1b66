// Throughput of JoinFiles against bare copy loops and cat, on the same inputs in the same run,
// so the ratios hold whatever the machine is doing: within one file system, from a tmpfs to
// another file system, and from named pipes. Then, when run as root with mkfs.xfs or
// mkfs.btrfs at hand, the same on a loop-mounted file system that shares extents: time and new
// space for two block-aligned parts of 256 MiB.
// Usage: bench_join [--check] [folder] [total MiB]   (default: $TMPDIR or /tmp, 512 MiB)
#include "join/JoinFiles.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

// Processor time of this process and its waited-for children (cat, pipe writers), in seconds.
double CpuSeconds() {
    double total = 0;
    for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        rusage usage{};
        ::getrusage(who, &usage);
        for (const timeval& tv : {usage.ru_utime, usage.ru_stime})
            total += double(tv.tv_sec) + double(tv.tv_usec) / 1e6;
    }
    return total;
}

double Seconds(const std::function<void()>& fn) {
    const auto start = std::chrono::steady_clock::now();
    fn();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Quoted(const std::string& path) {
    return "'" + path + "'";
}

std::string s_strMounted; // unmounted again should the bench fail

void Fail(const char* what) {
    std::perror(what);
    if (!s_strMounted.empty() && std::system(("umount " + Quoted(s_strMounted)).c_str()) != 0)
        std::fprintf(stderr, "left mounted: %s\n", s_strMounted.c_str());
    std::exit(1);
}

// The same copy with nothing around it: one block of the given size, one write per read.
void BareLoop(const std::string& output, const std::vector<std::string>& inputs, size_t block) {
    const int out = ::open(output.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
    if (out < 0)
        Fail("open output");
    std::vector<char> buffer(block);
    for (const std::string& path : inputs) {
        const int in = ::open(path.c_str(), O_RDONLY);
        if (in < 0)
            Fail("open input");
        ssize_t n;
        while ((n = ::read(in, buffer.data(), buffer.size())) > 0) {
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(out, buffer.data() + done, static_cast<size_t>(n - done));
                if (w <= 0)
                    Fail("write");
                done += w;
            }
        }
        ::close(in);
    }
    ::close(out);
}

// The ways JoinFiles copies, each made the first it tries.
enum class Way { Kernel, SendFile, Loop };

void Join(const std::string& output, const std::vector<std::string>& inputs, Way way) {
    const JoinKernelCopies saved = g_joinKernelCopies;
    if (way != Way::Kernel)
        g_joinKernelCopies.copyRange = nullptr;
    if (way == Way::Loop)
        g_joinKernelCopies.sendFile = nullptr;
    const JoinResult r = JoinFiles(output, std::list<std::string>(inputs.begin(), inputs.end()));
    g_joinKernelCopies = saved;
    if (!r.ok()) {
        std::fprintf(stderr, "JoinFiles failed: %s\n", r.message().c_str());
        std::exit(1);
    }
}

void Cat(const std::string& output, const std::vector<std::string>& inputs) {
    std::string command = "cat";
    for (const std::string& in : inputs)
        command += " " + Quoted(in);
    if (std::system((command + " > " + Quoted(output)).c_str()) != 0)
        Fail("cat");
}

const std::vector<char>& Pattern() {
    static const std::vector<char> chunk = [] {
        std::vector<char> bytes(1 << 20);
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>((i * 131) ^ (i >> 9));
        return bytes;
    }();
    return chunk;
}

void WritePattern(int fd, long size) {
    const std::vector<char>& chunk = Pattern();
    for (long written = 0; written < size;) {
        const size_t n = static_cast<size_t>(std::min<long>(size - written, long(chunk.size())));
        const ssize_t w = ::write(fd, chunk.data(), n);
        if (w <= 0)
            Fail("write input");
        written += w;
    }
}

std::vector<std::string> MakeInputs(const std::string& dir, int count, long size) {
    std::vector<std::string> inputs;
    for (int i = 0; i < count; ++i) {
        inputs.push_back(dir + "/in" + std::to_string(i));
        const int fd = ::open(inputs.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            Fail("create input");
        WritePattern(fd, size);
        ::fsync(fd);
        ::close(fd);
    }
    return inputs;
}

// Named pipes, each fed by a process of its own with size bytes once a reader opens it.
struct Fifos {
    std::vector<std::string> paths;
    long nSize = 0;
    std::vector<pid_t> writers;

    void Feed() {
        for (const std::string& path : paths) {
            const pid_t pid = ::fork();
            if (pid < 0)
                Fail("fork");
            if (pid == 0) {
                const int fd = ::open(path.c_str(), O_WRONLY);
                if (fd < 0)
                    _exit(1);
                WritePattern(fd, nSize);
                _exit(0);
            }
            writers.push_back(pid);
        }
    }
    void Reap() {
        for (pid_t pid : writers) {
            int status = 0;
            if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
                Fail("pipe writer");
        }
        writers.clear();
    }
};

struct Contender {
    const char* pszName;
    std::function<void(const std::string&, const std::vector<std::string>&)> run;
    bool bFilesOnly; // a way that only differs from the others between regular files
};

const std::vector<Contender>& Contenders() {
    static const std::vector<Contender> all = {
        {"JoinFiles", [](auto& out, auto& in) { Join(out, in, Way::Kernel); }, false},
        {"JoinFiles, sendfile", [](auto& out, auto& in) { Join(out, in, Way::SendFile); }, true},
        {"JoinFiles, block loop", [](auto& out, auto& in) { Join(out, in, Way::Loop); }, true},
        {"bare 4 KiB loop", [](auto& out, auto& in) { BareLoop(out, in, 4 << 10); }, false},
        {"bare 64 KiB loop", [](auto& out, auto& in) { BareLoop(out, in, 64 << 10); }, false},
        {"bare 128 KiB loop", [](auto& out, auto& in) { BareLoop(out, in, 128 << 10); }, false},
        {"bare 256 KiB loop", [](auto& out, auto& in) { BareLoop(out, in, 256 << 10); }, false},
        {"bare 1 MiB loop", [](auto& out, auto& in) { BareLoop(out, in, 1 << 20); }, false},
        {"cat", Cat, false},
    };
    return all;
}

// Joins the inputs into output with every contender, in interleaved rounds that each start
// with the next contender, so none always follows the same one. With fifos, the inputs are
// those pipes, fed anew for every join.
void Race(const char* title, const std::vector<std::string>& inputs, const std::string& output,
          double bytes, Fifos* fifos = nullptr) {
    std::printf("%s: %zu inputs, %.1f MiB in all; output %s\n", title, inputs.size(),
                bytes / 1048576.0, output.c_str());
    constexpr int kRounds = 9;
    const auto& contenders = Contenders();
    std::vector<std::vector<double>> times(contenders.size()), cpu(contenders.size());
    for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < contenders.size(); ++i) {
            const size_t k = (i + size_t(round)) % contenders.size();
            if (fifos && contenders[k].bFilesOnly)
                continue;
            ::unlink(output.c_str());
            if (fifos)
                fifos->Feed();
            const double cpuBefore = CpuSeconds();
            times[k].push_back(Seconds([&] { contenders[k].run(output, inputs); }));
            if (fifos)
                fifos->Reap();
            cpu[k].push_back(CpuSeconds() - cpuBefore);
        }
    }
    std::vector<double> median(contenders.size(), 0), cpuMedian(contenders.size(), 0);
    for (size_t k = 0; k < contenders.size(); ++k) {
        std::sort(times[k].begin(), times[k].end());
        std::sort(cpu[k].begin(), cpu[k].end());
        if (!times[k].empty()) {
            median[k] = times[k][times[k].size() / 2];
            cpuMedian[k] = cpu[k][cpu[k].size() / 2];
        }
    }
    const double cat = median.back();
    std::printf("  %-24s %9s %9s %9s %9s  %s\n", "(median of 9)", "MB/s", "s", "best s", "CPU s",
                "speed, cat = 1");
    for (size_t k = 0; k < contenders.size(); ++k) {
        if (!times[k].empty())
            std::printf("  %-24s %9.1f %9.3f %9.3f %9.3f  %.2f\n", contenders[k].pszName,
                        bytes / median[k] / 1e6, median[k], times[k].front(), cpuMedian[k],
                        cat / median[k]);
    }
    const double aim = fifos ? 0.9 : 1.0;
    std::printf("  aim: JoinFiles at least %.1f x cat: %s\n\n", aim,
                cat / median[0] >= aim ? "met" : "NOT met");
    ::unlink(output.c_str());
}

// The same file system (in the page cache), a tmpfs to dir when there is one beside it, and
// named pipes to dir.
void PageCacheRuns(const std::string& dir, long totalMiB) {
    constexpr int kInputs = 8;
    const long perInput = totalMiB * 1024 * 1024 / kInputs;
    const double bytes = double(perInput) * kInputs;
    const std::string output = dir + "/out";
    {
        const std::vector<std::string> inputs = MakeInputs(dir, kInputs, perInput);
        Race("same file system", inputs, output, bytes);
        for (const std::string& in : inputs)
            ::unlink(in.c_str());
    }

    struct stat shm {
    }, disk{};
    std::string shmTemplate = "/dev/shm/vantrel-bench-XXXXXX";
    if (::stat("/dev/shm", &shm) == 0 && ::stat(dir.c_str(), &disk) == 0 &&
        shm.st_dev != disk.st_dev && ::mkdtemp(shmTemplate.data())) {
        const std::vector<std::string> inputs = MakeInputs(shmTemplate, kInputs, perInput);
        Race("tmpfs to another file system", inputs, output, bytes);
        for (const std::string& in : inputs)
            ::unlink(in.c_str());
        ::rmdir(shmTemplate.c_str());
    } else {
        std::printf("tmpfs to another file system: skipped (no /dev/shm apart from %s)\n\n",
                    dir.c_str());
    }

    Fifos fifos;
    fifos.nSize = perInput;
    for (int i = 0; i < kInputs; ++i) {
        fifos.paths.push_back(dir + "/pipe" + std::to_string(i));
        if (::mkfifo(fifos.paths.back().c_str(), 0600) != 0)
            Fail("mkfifo");
    }
    Race("named pipes", fifos.paths, output, bytes, &fifos);
    for (const std::string& path : fifos.paths)
        ::unlink(path.c_str());
}

double FreeBytes(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0)
        Fail("statvfs");
    return double(fs.f_bfree) * double(fs.f_frsize);
}

void SyncFs(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0 || ::syncfs(fd) != 0)
        Fail("syncfs");
    ::close(fd);
}

bool Have(const char* tool) {
    return std::system((std::string("command -v ") + tool + " >/dev/null 2>&1").c_str()) == 0;
}

enum class Aim { Skipped, Met, Missed };

// Joins 2 x 256 MiB on a fresh file system in an image file, loop-mounted under dir; with
// joinOnly, JoinFiles alone.
Aim SharedExtentsRun(const std::string& dir, const char* fsName, const char* mkfs, bool joinOnly) {
    std::printf("\n%s, loop-mounted: ", fsName);
    if (::geteuid() != 0) {
        std::printf("skipped (mounting needs root)\n");
        return Aim::Skipped;
    }
    const std::string tool = std::string(mkfs).substr(0, std::string(mkfs).find(' '));
    if (!Have(tool.c_str())) {
        std::printf("skipped (%s is not installed)\n", tool.c_str());
        return Aim::Skipped;
    }
    const std::string image = dir + "/" + fsName + ".img", mnt = dir + "/" + fsName;
    if (::mkdir(mnt.c_str(), 0700) != 0)
        Fail("mkdir");
    const int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::ftruncate(fd, off_t(3) << 30) != 0)
        Fail("image");
    ::close(fd);
    const std::string mount = std::string(mkfs) + " " + Quoted(image) + " >/dev/null 2>&1" +
                              " && mount -o loop " + Quoted(image) + " " + Quoted(mnt);
    if (std::system(mount.c_str()) != 0) {
        std::printf("skipped (cannot make or loop-mount it here)\n");
        ::unlink(image.c_str());
        ::rmdir(mnt.c_str());
        return Aim::Skipped;
    }
    s_strMounted = mnt;
    constexpr long kPart = 256L << 20;
    const std::vector<std::string> inputs = MakeInputs(mnt, 2, kPart);
    std::printf("2 inputs x 256 MiB in %s\n", mnt.c_str());
    std::printf("  %-24s %9s %9s %12s\n", "", "join s", "fsync s", "new MiB");

    // Every output stays until the end: space freed by a removal may come back late and
    // spoil the next measurement.
    const auto& contenders = Contenders();
    int outputs = 0;
    double joinFiles[2] = {1e9, 0}; // best time, most space
    for (int round = 0; round < 3; ++round) {
        for (size_t k = 0; k < contenders.size(); ++k) {
            // JoinFiles, cat, and once JoinFiles held to sendfile and to its block loop, which
            // need 512 MiB each.
            const bool copying = k == 1 || k == 2;
            if ((joinOnly && k != 0) || (k != 0 && k + 1 != contenders.size() && !copying) ||
                (round > 0 && copying))
                continue;
            const std::string output = mnt + "/out" + std::to_string(outputs++);
            SyncFs(mnt);
            const double before = FreeBytes(mnt);
            const double joinTime = Seconds([&] { contenders[k].run(output, inputs); });
            const double syncTime = Seconds([&] {
                const int out = ::open(output.c_str(), O_RDONLY);
                if (out < 0 || ::fsync(out) != 0)
                    Fail("fsync");
                ::close(out);
            });
            SyncFs(mnt);
            const double newMiB = (before - FreeBytes(mnt)) / 1048576.0;
            std::printf("  %-24s %9.4f %9.4f %12.1f\n", contenders[k].pszName, joinTime, syncTime,
                        newMiB);
            if (k == 0) {
                joinFiles[0] = std::min(joinFiles[0], joinTime + syncTime);
                joinFiles[1] = std::max(joinFiles[1], newMiB);
            }
        }
    }
    const bool met = joinFiles[0] < 0.25 && joinFiles[1] < 16;
    std::printf("  aim: JoinFiles < 0.25 s with fsync (best %.3f s), < 16 MiB new (at most "
                "%.1f MiB): %s\n",
                joinFiles[0], joinFiles[1], met ? "met" : "NOT met");

    if (std::system(("umount " + Quoted(mnt)).c_str()) != 0)
        Fail("umount");
    s_strMounted.clear();
    ::unlink(image.c_str());
    ::rmdir(mnt.c_str());
    return met ? Aim::Met : Aim::Missed;
}

} // namespace

int main(int argc, char* argv[]) {
    // --check: the shared-extents aims alone, as a test: exit 0 when met, 77 when no such
    // file system could be mounted here.
    const bool check = argc > 1 && std::string(argv[1]) == "--check";
    if (check) {
        --argc;
        ++argv;
    }
    const char* tmp = std::getenv("TMPDIR");
    std::string base = argc > 1 ? argv[1] : (tmp ? tmp : "/tmp");
    const long totalMiB = argc > 2 ? std::atol(argv[2]) : 512;

    std::string dirTemplate = base + "/vantrel-bench-XXXXXX";
    if (!::mkdtemp(dirTemplate.data()))
        Fail("mkdtemp");
    const std::string dir = dirTemplate;

    if (!check)
        PageCacheRuns(dir, totalMiB);
    const Aim xfs = SharedExtentsRun(dir, "xfs", "mkfs.xfs -q -m reflink=1", check);
    const Aim btrfs = SharedExtentsRun(dir, "btrfs", "mkfs.btrfs -q", check);

    ::rmdir(dir.c_str());
    if (!check)
        return 0;
    if (xfs == Aim::Missed || btrfs == Aim::Missed)
        return 1;
    return xfs == Aim::Skipped && btrfs == Aim::Skipped ? 77 : 0;
}
