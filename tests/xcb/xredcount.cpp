// Counts the red pixels in a rectangle of a mapped window, read back from the
// X server, so a test can tell whether a mistaken word was drawn in red.
// Usage: xredcount <window id> <x> <y> <width> <height>
// A pixel counts when its red is above 70 % and its green and blue below 30 %.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

namespace {

// One colour channel of a pixel, scaled to 0..255 whatever the visual's depth.
unsigned channel(unsigned long pixel, unsigned long mask)
{
    if (!mask)
        return 0;
    int shift = 0;
    while (!((mask >> shift) & 1))
        ++shift;
    const unsigned long max = mask >> shift;
    return unsigned(((pixel & mask) >> shift) * 255 / max);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 6) {
        std::fprintf(stderr, "usage: xredcount <window id> <x> <y> <width> <height>\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "xredcount: cannot open the display\n");
        return 1;
    }
    const Window window = std::strtoul(argv[1], nullptr, 0);
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.c_class != InputOutput ||
        attributes.visual->c_class != TrueColor) {
        std::fprintf(stderr, "xredcount: not a true-colour window\n");
        XCloseDisplay(display);
        return 1;
    }
    const int x = std::atoi(argv[2]), y = std::atoi(argv[3]);
    const unsigned width = std::strtoul(argv[4], nullptr, 10);
    const unsigned height = std::strtoul(argv[5], nullptr, 10);
    XImage* image = XGetImage(display, window, x, y, width, height, AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "xredcount: cannot read the window's pixels\n");
        XCloseDisplay(display);
        return 1;
    }
    const Visual* visual = attributes.visual;
    long red = 0;
    for (unsigned row = 0; row < height; ++row) {
        for (unsigned column = 0; column < width; ++column) {
            const unsigned long pixel = XGetPixel(image, int(column), int(row));
            if (channel(pixel, visual->red_mask) > 178 && channel(pixel, visual->green_mask) < 77 &&
                channel(pixel, visual->blue_mask) < 77)
                ++red;
        }
    }
    XDestroyImage(image);
    XCloseDisplay(display);
    std::printf("%ld\n", red);
    return 0;
}
