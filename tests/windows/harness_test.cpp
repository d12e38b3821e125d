// The Windows tests read message boxes through a CBT hook; check that it sees exactly what was shown.
#include "tests/windows/wintest.h"
#include "tests/windows/message_box_capture.h"

TEST(capture_reads_text_caption_and_owner_and_answers_ok) {
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    MessageBoxCapture capture;
    startMessageBoxCapture(&capture);
    int first = MessageBoxW(owner, L"first line\r\nsecond", L"Moravel", MB_OK);
    int second = MessageBoxW(owner, L"no caption", nullptr, MB_OK);
    stopMessageBoxCapture();
    CHECK_EQ(first, IDOK);
    CHECK_EQ(second, IDOK);
    CHECK_EQ(capture.count, 2);
    CHECK_WSTR(capture.boxes[0].text, L"first line\r\nsecond");
    CHECK_WSTR(capture.boxes[0].caption, L"Moravel");
    CHECK(capture.boxes[0].owner == owner);
    CHECK_WSTR(capture.boxes[1].text, L"no caption");
    CHECK_WSTR(capture.boxes[1].caption, L"Error");  // the system's default caption
    DestroyWindow(owner);
}
