// SPDX-License-Identifier: MIT
// The start of the program as a user meets it: the time from exec to the first frame of the main
// window on the screen, and the resident memory a second later, beside the same figures of a bare
// Qt window with a Japanese menu bar and status line (bare_japanese_window), started in turn in
// the same run. Needs an X server with a window manager: run it under tests/with-xvfb.sh.
#include <QTemporaryDir>
#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>
#include <xcb/xcb.h>

#include "BenchSupport.h"

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

// The X server the programs start on, asked where their windows are.
class Display {
public:
    Display() : c_(xcb_connect(nullptr, nullptr))
    {
        if (!xcb_connection_has_error(c_))
            root_ = xcb_setup_roots_iterator(xcb_get_setup(c_)).data->root;
    }
    ~Display() { xcb_disconnect(c_); }
    bool ok() const { return root_ != 0; }

    // A viewable top-level window of the process with that title whose menu bar is drawn, or 0.
    xcb_window_t drawnWindow(pid_t pid, const std::string& title)
    {
        for (xcb_window_t w : windows(property(root_, atom("_NET_CLIENT_LIST"), XCB_ATOM_WINDOW))) {
            const std::string owner = property(w, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL);
            uint32_t ownerPid = 0;
            if (owner.size() < 4 || (std::memcpy(&ownerPid, owner.data(), 4), ownerPid != uint32_t(pid)))
                continue;
            if (property(w, atom("_NET_WM_NAME"), atom("UTF8_STRING")) == title && viewable(w) && menuBarDrawn(w))
                return w;
        }
        return 0;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        XcbReply<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(c_, xcb_intern_atom(c_, 0, uint16_t(std::strlen(name)), name), nullptr), std::free);
        return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    std::string property(xcb_window_t w, xcb_atom_t name, xcb_atom_t type)
    {
        XcbReply<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(c_, xcb_get_property(c_, 0, w, name, type, 0, 4096), nullptr), std::free);
        if (!reply || reply->type == XCB_ATOM_NONE)
            return {};
        return std::string(static_cast<const char*>(xcb_get_property_value(reply.get())),
                           size_t(xcb_get_property_value_length(reply.get())));
    }
    static std::vector<xcb_window_t> windows(const std::string& bytes)
    {
        std::vector<xcb_window_t> out(bytes.size() / sizeof(xcb_window_t));
        if (!out.empty())
            std::memcpy(out.data(), bytes.data(), out.size() * sizeof(xcb_window_t));
        return out;
    }
    bool viewable(xcb_window_t w)
    {
        XcbReply<xcb_get_window_attributes_reply_t> reply(
            xcb_get_window_attributes_reply(c_, xcb_get_window_attributes(c_, w), nullptr), std::free);
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }
    // The first frame is there once the menu bar's strip shows more than one colour: its captions.
    bool menuBarDrawn(xcb_window_t w)
    {
        XcbReply<xcb_get_image_reply_t> reply(
            xcb_get_image_reply(c_, xcb_get_image(c_, XCB_IMAGE_FORMAT_Z_PIXMAP, w, 0, 0, 160, 20, ~0u), nullptr),
            std::free);
        if (!reply || reply->depth != 24)
            return false;
        const auto* p = reinterpret_cast<const uint32_t*>(xcb_get_image_data(reply.get()));
        const int n = xcb_get_image_data_length(reply.get()) / 4;
        for (int i = 1; i < n; ++i)
            if ((p[i] & 0xFFFFFFu) != (p[0] & 0xFFFFFFu))
                return true;
        return false;
    }

    xcb_connection_t* c_;
    xcb_window_t root_ = 0;
};

size_t residentBytesOf(pid_t pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return size_t(std::strtoull(line.c_str() + 6, nullptr, 10)) * 1024;
    return 0;
}

struct Start {
    double seconds = 0;
    double residentMiB = 0;
};

// One start: exec to the first frame, then the resident memory a second later, then the end.
bool startOnce(Display& display, const char* program, const std::string& title, Start& out)
{
    // Each start in a temporary folder of its own, so that no start cleans up after the one before.
    QTemporaryDir temp;
    const std::string tmpdir = "TMPDIR=" + temp.path().toStdString();
    std::vector<char*> env{const_cast<char*>("QT_QPA_PLATFORM=xcb"), const_cast<char*>(tmpdir.c_str())};
    for (char** e = environ; *e; ++e)
        if (std::strncmp(*e, "QT_QPA_PLATFORM=", 16) != 0 && std::strncmp(*e, "TMPDIR=", 7) != 0)
            env.push_back(*e);
    env.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program), nullptr};
    pid_t pid = 0;
    const auto start = Clock::now();
    if (posix_spawn(&pid, program, nullptr, nullptr, argv, env.data()) != 0)
        return false;
    bool shown = false;
    while (!(shown = display.drawnWindow(pid, title) != 0) && Clock::now() - start < std::chrono::seconds(60))
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    out.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    out.residentMiB = double(residentBytesOf(pid)) / (1024.0 * 1024.0);
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    return shown;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// The Marlo of this build, or the one MARLO_BINARY names (another build to compare with).
const char* marloBinary()
{
    const char* named = std::getenv("MARLO_BINARY");
    return named && *named ? named : MARLO_BINARY;
}

// Each iteration starts the bare window, then Marlo, so that both meet the same machine. The time
// of the benchmark is Marlo's; the counters give the medians of both and their ratios.
void BM_Start_Marlo_beside_BareJapaneseWindow(benchmark::State& state)
{
    Display display;
    if (!display.ok()) {
        state.SkipWithError("no X server: run under tests/with-xvfb.sh");
        return;
    }
    Start warm;
    startOnce(display, BARE_WINDOW_BINARY, "Bare", warm); // the disk's caches, for both
    startOnce(display, marloBinary(), "Marlo", warm);
    std::vector<double> bareTime, bareMemory, marloTime, marloMemory;
    for (auto _ : state) {
        Start bare, marlo;
        if (!startOnce(display, BARE_WINDOW_BINARY, "Bare", bare) || !startOnce(display, marloBinary(), "Marlo", marlo)) {
            state.SkipWithError("a main window did not come within a minute");
            return;
        }
        state.SetIterationTime(marlo.seconds);
        bareTime.push_back(bare.seconds);
        bareMemory.push_back(bare.residentMiB);
        marloTime.push_back(marlo.seconds);
        marloMemory.push_back(marlo.residentMiB);
    }
    state.counters["bare_ms"] = median(bareTime) * 1000;
    state.counters["marlo_ms"] = median(marloTime) * 1000;
    state.counters["time_ratio"] = median(marloTime) / median(bareTime);
    state.counters["bare_MiB"] = median(bareMemory);
    state.counters["marlo_MiB"] = median(marloMemory);
    state.counters["memory_ratio"] = median(marloMemory) / median(bareMemory);
}

} // namespace

BENCHMARK(BM_Start_Marlo_beside_BareJapaneseWindow)->Iterations(12)->UseManualTime()->Unit(benchmark::kMillisecond);
