#include "updater/ForeignWindow.h"

namespace swt {

bool AnswersMessages(HWND w, UINT limitMs) {
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(w, WM_NULL, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, limitMs, &result) != 0;
}

bool BringForward(HWND w) {
    if (!AnswersMessages(w)) return false;
    ::SetForegroundWindow(w);
    ::FlashWindow(w, TRUE);
    return true;
}

TCloseReply SendCloseMessage(HWND w, UINT limitMs) {
    DWORD_PTR result = 0;
    if (::SendMessageTimeoutW(w, WM_CLOSE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, limitMs, &result))
        return TCloseReply::Handled;
    if (!::IsWindow(w)) return TCloseReply::NoAnswer;
    return AnswersMessages(w) ? TCloseReply::StillHandling : TCloseReply::NoAnswer;
}

}  // namespace swt
