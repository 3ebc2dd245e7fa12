#pragma once
// What the settings and package-information screens share: framing a picture, queueing one,
// asking after the tutorial.

#include <string>

class GUIElement;
class GUIVerticalContainer;

struct ScreenSupport {
    // The holder becomes the frame's content, centred at its picture's size, or at the figure size
    // 1010 x 1200 while the picture has not arrived; true when it was sized by its picture.
    static bool ShowHolderInFrame(GUIVerticalContainer* frame, GUIElement* holder);
    // Queues path on the background loader into holder. The holder keeps no placeholder: it has no
    // picture until its own arrives (or it is loaded at once when the loader is not running).
    static void QueuePicture(GUIElement& holder, const std::string& path);
};
