#pragma once
// Reads what the X server holds for a window, so tests see what a window manager would.

#include <X11/Xlib.h>

#include <string>

// A UTF8_STRING property such as "_NET_WM_NAME"; "" when the window has none.
inline std::string ReadUtf8Property(Display* display, Window window, const char* name)
{
    std::string text;
    const Atom property = XInternAtom(display, name, True);
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", True);
    if (property == None || utf8 == None)
        return text;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long remaining = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, property, 0, 1024, False, utf8, &actualType, &format, &count,
                           &remaining, &data) == Success &&
        data != nullptr && format == 8)
        text.assign(reinterpret_cast<const char*>(data), count);
    if (data != nullptr)
        XFree(data);
    return text;
}
