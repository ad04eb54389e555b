// Waits until a colour shows in a thin column down the middle of the X screen
// and prints the CLOCK_MONOTONIC time (seconds) of the grab that first held it.
//   screen_watch R G B [timeout-seconds=30]
// Prints "ready" once connected, so the caller can start what it measures.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <unistd.h>

namespace {
double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::fprintf(stderr, "usage: screen_watch R G B [timeout-seconds]\n");
        return 2;
    }
    const unsigned long want = (std::strtoul(argv[1], nullptr, 10) << 16) | (std::strtoul(argv[2], nullptr, 10) << 8)
                               | std::strtoul(argv[3], nullptr, 10);
    const double timeout = argc > 4 ? std::atof(argv[4]) : 30;
    Display* display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    const Window root = DefaultRootWindow(display);
    const int width = DisplayWidth(display, DefaultScreen(display));
    const int height = DisplayHeight(display, DefaultScreen(display));
    // Both windows are centred; a few columns in the middle cross every band.
    constexpr int Columns = 5;
    const int x = width / 2 - Columns / 2;
    std::printf("ready\n");
    std::fflush(stdout);
    const double end = now() + timeout;
    while (now() < end) {
        const double before = now();
        XImage* image = XGetImage(display, root, x, 0, Columns, height, AllPlanes, ZPixmap);
        const double after = now();
        bool found = false;
        for (int y = 0; image && y < height && !found; ++y)
            for (int c = 0; c < Columns && !found; ++c)
                found = (XGetPixel(image, c, y) & 0xffffff) == want;
        if (image)
            XDestroyImage(image);
        if (found) {
            std::printf("%.4f\n", (before + after) / 2);
            return 0;
        }
        usleep(2000);
    }
    std::printf("timeout\n");
    return 1;
}
