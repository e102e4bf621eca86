// The command line's conversions at the scale of a musician's whole archive,
// timed through the real binary as a script runs it:
//   10,000 single-dump .syx files into one new library, and
//   a 10,000-patch library into a folder of .syx files (new, and replacing).
//
//   build-bench/benchmarks/qorv_cli_benchmark [FOLDER] [RUNS]
//
// FOLDER is where the files go (default: the system's temporary folder); the
// folder export writes every file to the disk before it takes its name, so its
// figure is the disk's as much as the program's: the file system is printed.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/statfs.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace
{
namespace fs = std::filesystem;
constexpr int patchCount = 10000;

/** Runs qorv with the arguments, its output thrown away; returns the seconds it took, or -1 on failure. */
double timedRun (const std::vector<std::string>& arguments)
{
    std::vector<std::string> words{QORV_BINARY};
    words.insert (words.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& word : words)
        argv.push_back (word.data());
    argv.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen (&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t child = 0;
    int status = -1;
    const bool ran = posix_spawn (&child, argv[0], &actions, nullptr, argv.data(), environ) == 0 &&
                     waitpid (child, &status, 0) == child && WIFEXITED (status) && WEXITSTATUS (status) == 0;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    posix_spawn_file_actions_destroy (&actions);
    return ran ? took.count() : -1.0;
}

/** A patch dump of a random sound, every byte one a patch can hold. */
std::vector<char> randomDump (std::mt19937& random)
{
    std::vector<char> dump{'\xF0', '\x41', '\x30', '\x00', '\x00'};
    for (int i = 0; i < 16; ++i)
        dump.push_back (static_cast<char> (random() & 0x7F));
    dump.push_back (static_cast<char> (random() & 0x7F)); // DCO flags: every defined bit
    dump.push_back (static_cast<char> (random() & 0x1F)); // switches
    dump.push_back ('\xF7');
    return dump;
}

std::string fileSystemOf (const fs::path& folder)
{
    struct statfs info;
    if (statfs (folder.c_str(), &info) != 0)
        return "unknown";
    switch (info.f_type)
    {
        case 0x01021994:
            return "tmpfs";
        case 0xEF53:
            return "ext2/3/4";
        case 0x58465342:
            return "xfs";
        case 0x9123683E:
            return "btrfs";
        default:
            return "type 0x" + [&]
            {
                char hex[16];
                std::snprintf (hex, sizeof (hex), "%lx", static_cast<unsigned long> (info.f_type));
                return std::string (hex);
            }();
    }
}

struct Figures
{
    double best = 0, median = 0;
};

/** Runs `prepare` (untimed) and the command `runs` times. */
template <typename Prepare> Figures measure (int runs, Prepare prepare, const std::vector<std::string>& arguments)
{
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i)
    {
        prepare();
        const double took = timedRun (arguments);
        if (took < 0)
        {
            std::fprintf (stderr, "qorv %s failed\n", arguments.front().c_str());
            std::exit (1);
        }
        seconds.push_back (took);
    }
    std::sort (seconds.begin(), seconds.end());
    return {seconds.front(), seconds[seconds.size() / 2]};
}

void print (const char* what, const Figures& figures)
{
    std::printf ("%-52s median %7.3f s   best %7.3f s\n", what, figures.median, figures.best);
}
} // namespace

int main (int argc, char** argv)
{
    const fs::path base = argc > 1 ? fs::path (argv[1]) : fs::temp_directory_path();
    const int runs = argc > 2 ? std::max (1, std::atoi (argv[2])) : 5;
    const fs::path root = base / ("qorv-cli-bench-" + std::to_string (getpid()));
    fs::create_directories (root / "syx");

    std::mt19937 random (1);
    std::vector<std::string> convertFiles{"convert"};
    for (int i = 0; i < patchCount; ++i)
    {
        char name[32];
        std::snprintf (name, sizeof (name), "syx/Patch %05d.syx", i);
        const auto dump = randomDump (random);
        std::ofstream (root / name, std::ios::binary).write (dump.data(), static_cast<std::streamsize> (dump.size()));
        convertFiles.push_back ((root / name).string());
    }
    const std::string library = (root / "Archive.106").string();
    const std::string folder = (root / "export").string();
    convertFiles.insert (convertFiles.end(), {"-o", library});

    std::printf ("qorv %s, %d runs each, in %s (%s)\n", QORV_BINARY, runs, root.c_str(), fileSystemOf (root).c_str());
    print ("10,000 .syx files into a new library",
           measure (
               runs, [&] { fs::remove (library); }, convertFiles));
    print ("a 10,000-patch library into a new folder",
           measure (runs, [&] { fs::remove_all (folder); }, {"convert", library, "-o", folder + "/"}));
    print ("a 10,000-patch library over the files of a folder",
           measure (runs, [] {}, {"convert", library, "-o", folder + "/"}));

    fs::remove_all (root);
    return 0;
}
