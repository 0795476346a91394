// Messages to another program's windows, never waited on without limit: that program may have
// stopped answering.
#pragma once
#include <windows.h>

namespace swt {

// How long a close message may keep the updater's window waiting for the other window to handle
// it. A window that has stopped answering is given up at once (the system knows it as hung).
inline constexpr UINT kCloseReplyLimitMs = 3000;
// How long a window may take to answer a ping.
inline constexpr UINT kPingLimitMs = 500;

// Whether the window's thread handles messages: it answers a ping within limitMs. A thread that
// runs a dialog's message loop answers; one that is busy or hung does not.
bool AnswersMessages(HWND w, UINT limitMs = kPingLimitMs);

// Makes the window the foreground window and flashes its caption once. Flashing waits for the
// window to redraw its caption: a window that does not answer is left as it is (false).
bool BringForward(HWND w);

enum class TCloseReply {
    Handled,        // the window handled WM_CLOSE
    StillHandling,  // it is still handling it and answers other messages (a confirmation dialog)
    NoAnswer,       // it does not answer (hung, or busy without handling messages), or it is gone
};

// Sends WM_CLOSE to w and waits at most limitMs for it to be handled.
TCloseReply SendCloseMessage(HWND w, UINT limitMs = kCloseReplyLimitMs);

}  // namespace swt
