// How start-up feels from outside the program: starts a Qorv binary over and
// over on the current X display and times, from the exec:
//
//   mapped   its top-level window first mapped,
//   painted  the last change of the screen's pixels before they stay still
//            for the settle time (the window fully painted),
//
// then reads the resident memory once idle (VmRSS) and its peak (VmHWM) from
// /proc. With a second binary (for example one built from an earlier commit)
// the runs alternate between the two, so both see the same load on a busy
// machine, and the medians are printed side by side with their ratios.
//
//   xvfb-run -a -s "-screen 0 1920x1200x24" qorv_startup_probe [options] BINARY [BASELINE]
//     --runs N        runs of each binary (default 15)
//     --scale P       the View size in percent: 100, 125, 150 or 175 (default: the
//                     program's own default)
//     --settle MS     how long the pixels must stay still (default 700)
//
// Every run starts with fresh settings. The window's final pixels are hashed;
// runs that end with different pixels are reported.

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace
{
using Clock = std::chrono::steady_clock;

double millisecondsBetween (Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli> (to - from).count();
}

struct Options
{
    int runs = 15;
    int scalePercent = 0; // 0: leave the program's default
    int settleMs = 700;
    std::vector<std::string> binaries;
};

struct Run
{
    double mappedMs = 0;
    double paintedMs = 0;
    double rssMb = 0;
    double peakMb = 0;
    std::uint64_t pixelHash = 0;
};

std::optional<Options> parse (int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i)
    {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--runs" && hasValue)
            options.runs = std::atoi (argv[++i]);
        else if (arg == "--scale" && hasValue)
            options.scalePercent = std::atoi (argv[++i]);
        else if (arg == "--settle" && hasValue)
            options.settleMs = std::atoi (argv[++i]);
        else if (arg.rfind ("--", 0) == 0)
            return std::nullopt;
        else
            options.binaries.push_back (arg);
    }
    const bool knownScale = options.scalePercent == 0 || options.scalePercent == 100 || options.scalePercent == 125 ||
                            options.scalePercent == 150 || options.scalePercent == 175;
    if (options.binaries.empty() || options.binaries.size() > 2 || options.runs < 1 || options.settleMs < 50 ||
        !knownScale)
        return std::nullopt;
    return options;
}

/** A fresh settings folder for one run, removed afterwards. */
class ConfigFolder
{
public:
    explicit ConfigFolder (int scalePercent)
    {
        char pattern[] = "/tmp/qorv-probe-XXXXXX";
        if (mkdtemp (pattern) != nullptr)
            path = pattern;
        if (scalePercent == 0 || path.empty())
            return;
        std::filesystem::create_directories (path / "org.qorv.Qorv");
        std::ofstream (path / "org.qorv.Qorv" / "qorv.cfg")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n\n<PROPERTIES>\n  <VALUE name=\"SCALE\" val=\""
            << scalePercent << "\"/>\n</PROPERTIES>\n";
    }
    ~ConfigFolder()
    {
        std::error_code ignored;
        if (!path.empty())
            std::filesystem::remove_all (path, ignored);
    }
    ConfigFolder (const ConfigFolder&) = delete;
    ConfigFolder& operator= (const ConfigFolder&) = delete;

    std::filesystem::path path;
};

/** VmRSS and VmHWM of a process, in megabytes. */
std::pair<double, double> residentMemory (pid_t pid)
{
    std::ifstream status ("/proc/" + std::to_string (pid) + "/status");
    std::string line;
    double rss = 0, peak = 0;
    while (std::getline (status, line))
    {
        if (line.rfind ("VmRSS:", 0) == 0)
            rss = std::atof (line.c_str() + 6) / 1024.0;
        else if (line.rfind ("VmHWM:", 0) == 0)
            peak = std::atof (line.c_str() + 6) / 1024.0;
    }
    return {rss, peak};
}

/** The X connection, watching the root window for new windows and for every change of pixels. */
class ScreenWatch
{
public:
    ScreenWatch() : display (XOpenDisplay (nullptr))
    {
        if (display == nullptr)
            return;
        int errorBase = 0;
        if (!XDamageQueryExtension (display, &damageEventBase, &errorBase))
        {
            XCloseDisplay (display);
            display = nullptr;
            return;
        }
        root = DefaultRootWindow (display);
        XSelectInput (display, root, SubstructureNotifyMask);
        // Damage on the root reports drawing into every window on the screen.
        damage = XDamageCreate (display, root, XDamageReportRawRectangles);
        XSync (display, False);
    }
    ~ScreenWatch()
    {
        if (display == nullptr)
            return;
        XDamageDestroy (display, damage);
        XCloseDisplay (display);
    }
    ScreenWatch (const ScreenWatch&) = delete;
    ScreenWatch& operator= (const ScreenWatch&) = delete;

    bool isOpen() const { return display != nullptr; }

    /** Reads every event that has arrived, noting the first top-level map and the last damage. */
    void drain (Clock::time_point now)
    {
        while (XPending (display) > 0)
        {
            XEvent event;
            XNextEvent (display, &event);
            if (event.type == MapNotify && !event.xmap.override_redirect && window == 0)
            {
                window = event.xmap.window;
                mappedAt = now;
            }
            else if (event.type == damageEventBase + XDamageNotify && window != 0)
            {
                lastDamageAt = now;
            }
        }
    }

    /** Waits at most timeoutMs for events on the connection. */
    void wait (int timeoutMs)
    {
        XFlush (display);
        pollfd fd{ConnectionNumber (display), POLLIN, 0};
        poll (&fd, 1, timeoutMs);
    }

    void forgetWindow()
    {
        XSync (display, False);
        drain (Clock::now());
        window = 0;
        mappedAt = lastDamageAt = {};
    }

    /** A hash of the window's pixels on the screen (colour bits only), 0 when it cannot be read. */
    std::uint64_t hashWindowPixels() const
    {
        XWindowAttributes attributes;
        if (window == 0 || !XGetWindowAttributes (display, window, &attributes))
            return 0;
        // Read through the root: a window reaching past the screen's edge cannot be read whole.
        int left = 0, top = 0;
        Window child = 0;
        XTranslateCoordinates (display, window, root, 0, 0, &left, &top, &child);
        const int right = std::min (left + attributes.width, DisplayWidth (display, DefaultScreen (display)));
        const int bottom = std::min (top + attributes.height, DisplayHeight (display, DefaultScreen (display)));
        left = std::max (left, 0);
        top = std::max (top, 0);
        if (right <= left || bottom <= top)
            return 0;
        XImage* image = XGetImage (display,
                                   root,
                                   left,
                                   top,
                                   static_cast<unsigned> (right - left),
                                   static_cast<unsigned> (bottom - top),
                                   AllPlanes,
                                   ZPixmap);
        if (image == nullptr)
            return 0;
        std::uint64_t hash = 1469598103934665603ull; // FNV-1a
        for (int y = 0; y < image->height; ++y)
            for (int x = 0; x < image->width; ++x)
            {
                hash ^= XGetPixel (image, x, y) & 0xffffffu;
                hash *= 1099511628211ull;
            }
        XDestroyImage (image);
        return hash;
    }

    ::Display* display = nullptr;
    Window root = 0;
    Damage damage = 0;
    int damageEventBase = 0;

    Window window = 0;
    Clock::time_point mappedAt{};
    Clock::time_point lastDamageAt{};
};

pid_t start (const std::string& binary, const std::filesystem::path& config)
{
    std::fflush (stdout); // the child must not print what this process has buffered
    const pid_t pid = fork();
    if (pid == 0)
    {
        setenv ("XDG_CONFIG_HOME", config.c_str(), 1);
        const int devNull = open ("/dev/null", O_WRONLY);
        dup2 (devNull, STDOUT_FILENO);
        dup2 (devNull, STDERR_FILENO);
        execl (binary.c_str(), binary.c_str(), static_cast<char*> (nullptr));
        _exit (127);
    }
    return pid;
}

void stop (pid_t pid)
{
    kill (pid, SIGTERM);
    for (int i = 0; i < 200; ++i)
    {
        if (waitpid (pid, nullptr, WNOHANG) == pid)
            return;
        usleep (10000);
    }
    kill (pid, SIGKILL);
    waitpid (pid, nullptr, 0);
}

std::optional<Run> runOnce (ScreenWatch& x, const std::string& binary, const Options& options)
{
    const ConfigFolder config (options.scalePercent);
    x.forgetWindow();

    const auto execAt = Clock::now();
    const pid_t pid = start (binary, config.path);
    if (pid < 0)
        return std::nullopt;

    const auto giveUpAt = execAt + std::chrono::seconds (20);
    std::optional<Run> run;
    for (;;)
    {
        x.wait (10);
        const auto now = Clock::now();
        x.drain (now);
        const bool settled = x.window != 0 && x.lastDamageAt != Clock::time_point{} &&
                             millisecondsBetween (x.lastDamageAt, now) >= options.settleMs;
        if (settled)
        {
            Run r;
            r.mappedMs = millisecondsBetween (execAt, x.mappedAt);
            r.paintedMs = millisecondsBetween (execAt, x.lastDamageAt);
            std::tie (r.rssMb, r.peakMb) = residentMemory (pid);
            r.pixelHash = x.hashWindowPixels();
            run = r;
            break;
        }
        if (now > giveUpAt || waitpid (pid, nullptr, WNOHANG) == pid)
            break;
    }
    stop (pid);
    return run;
}

double median (std::vector<double> values)
{
    std::sort (values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Summary
{
    double mapped, painted, rss, peak;
};

Summary summarise (const std::vector<Run>& runs)
{
    std::vector<double> mapped, painted, rss, peak;
    for (const auto& r : runs)
    {
        mapped.push_back (r.mappedMs);
        painted.push_back (r.paintedMs);
        rss.push_back (r.rssMb);
        peak.push_back (r.peakMb);
    }
    return {median (mapped), median (painted), median (rss), median (peak)};
}
} // namespace

int main (int argc, char** argv)
{
    const auto options = parse (argc, argv);
    if (!options)
    {
        std::fprintf (stderr,
                      "usage: %s [--runs N] [--scale 100|125|150|175] [--settle MS] BINARY [BASELINE]\n"
                      "(run under an X server with the DAMAGE extension, e.g. xvfb-run)\n",
                      argv[0]);
        return 2;
    }
    ScreenWatch x;
    if (!x.isOpen())
    {
        std::fprintf (stderr, "no X display with the DAMAGE extension\n");
        return 1;
    }

    const auto& binaries = options->binaries;
    std::vector<std::vector<Run>> runs (binaries.size());
    std::map<std::uint64_t, int> endings;
    for (int i = 0; i < options->runs; ++i)
        for (size_t b = 0; b < binaries.size(); ++b)
        {
            // Alternate which binary goes first, so neither always follows the other.
            const size_t which = (i % 2 == 0) ? b : binaries.size() - 1 - b;
            const auto run = runOnce (x, binaries[which], *options);
            if (!run)
            {
                std::fprintf (stderr, "%s: no window, or it never stopped drawing\n", binaries[which].c_str());
                return 1;
            }
            std::printf ("run %2d  %-40s mapped %6.1f ms  painted %6.1f ms  RSS %5.1f MB  peak %5.1f MB\n",
                         i + 1,
                         binaries[which].c_str(),
                         run->mappedMs,
                         run->paintedMs,
                         run->rssMb,
                         run->peakMb);
            runs[which].push_back (*run);
            ++endings[run->pixelHash];
        }

    std::printf ("\nmedians of %d runs%s\n", options->runs, options->scalePercent ? "" : " at the default size");
    std::printf ("%-40s %10s %10s %10s %10s\n", "binary", "mapped", "painted", "idle RSS", "peak RSS");
    std::vector<Summary> summaries;
    for (size_t b = 0; b < binaries.size(); ++b)
    {
        summaries.push_back (summarise (runs[b]));
        const auto& s = summaries.back();
        std::printf (
            "%-40s %7.1f ms %7.1f ms %7.1f MB %7.1f MB\n", binaries[b].c_str(), s.mapped, s.painted, s.rss, s.peak);
    }
    if (summaries.size() == 2)
    {
        const auto& a = summaries[0];
        const auto& base = summaries[1];
        std::printf ("%-40s %9.2fx %9.2fx %9.2fx %9.2fx\n",
                     "ratio to the baseline",
                     a.mapped / base.mapped,
                     a.painted / base.painted,
                     a.rss / base.rss,
                     a.peak / base.peak);
    }
    if (endings.size() == 1)
        std::printf ("every run ended with the same window pixels\n");
    else
        std::printf ("the runs ended with %zu different window images\n", endings.size());
    return 0;
}
