#pragma once
// The server's state in a word or a number for the status pane's heading, and
// the console's choice of display font. GUI thread only.
#include <vector>

#include "QvWindows.h"

class zDisplay;
class zFont;

// The count of running services in decimal.
void ApplicationsActive(char* buffer);
// "SHUTDOWN", "READY", "STARTING <service>" or "STARTUP"; returns buffer.
char* InterfaceStatus(char* buffer);

// One listed font of a face: its height, whether it scales, and its weight.
struct FONTCANDIDATE {
    int height;
    BOOL scalable;  // output precision 3 or 7
};

// The position chosen among the listed fonts for the height: an exact fixed
// size, else the largest smaller fixed size (the last of equal heights), else
// the last scalable one, else the first larger fixed size; -1 for none. A
// scalable font goes before a smaller one when no fixed size is larger.
int ZappChooseFont(const std::vector<FONTCANDIDATE>& fonts, int height);

// A new font of the face near the height; the caller owns it.
zFont* ZappSelectFont(zDisplay* display, const char* face, int height, BOOL bold);
