// Records the message boxes that the code under test shows on the calling thread, and answers each with OK,
// without touching production code: a WH_CBT hook sees each box as it is activated, reads its text (the
// static control 0xFFFF) and caption, and posts IDOK to it.
#pragma once
#include <windows.h>

constexpr int MAX_CAPTURED_BOXES = 16;

struct CapturedBox {
    wchar_t text[512];
    wchar_t caption[128];
    HWND owner;
};

struct MessageBoxCapture {
    CapturedBox boxes[MAX_CAPTURED_BOXES];
    int count;
};

// Starts recording on this thread into *capture (cleared first). Boxes shown on other threads are not seen.
void startMessageBoxCapture(MessageBoxCapture* capture);
void stopMessageBoxCapture();
