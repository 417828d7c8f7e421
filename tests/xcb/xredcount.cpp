// Counts the red pixels in a rectangle of a mapped window, read back from the
// X server: red above 70 % of full, green and blue below 30 %.
// Usage: xredcount <window id> <x> <y> <width> <height>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdio>
#include <cstdlib>

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
    const int width = std::atoi(argv[4]), height = std::atoi(argv[5]);
    XWindowAttributes attributes;
    XImage* image = nullptr;
    if (XGetWindowAttributes(display, window, &attributes) &&
        attributes.visual->c_class == TrueColor)
        image = XGetImage(display, window, std::atoi(argv[2]), std::atoi(argv[3]), width, height,
                          AllPlanes, ZPixmap);
    if (!image) {
        std::fprintf(stderr, "xredcount: cannot read the window's true-colour pixels\n");
        return 1;
    }
    // Each channel scaled to 0..255, whatever the visual's masks.
    const auto channel = [](unsigned long pixel, unsigned long mask) {
        const int shift = __builtin_ctzl(mask);
        return ((pixel & mask) >> shift) * 255 / (mask >> shift);
    };
    const Visual* visual = attributes.visual;
    long red = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const unsigned long pixel = XGetPixel(image, x, y);
            red += channel(pixel, visual->red_mask) > 178 &&
                   channel(pixel, visual->green_mask) < 77 &&
                   channel(pixel, visual->blue_mask) < 77;
        }
    XDestroyImage(image);
    XCloseDisplay(display);
    std::printf("%ld\n", red);
    return 0;
}
