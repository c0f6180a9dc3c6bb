#pragma once
// The meeting room's questions and refusals: a MessageBox built from a result
// code. A question shows OK and Cancel and the caller connects its sigOk (with a
// context object of its own); a refusal shows OK only.

#include "messagebox.h"

inline MessageBox* showMeetingQuestion(int code)
{
    auto* box = new MessageBox(code, true, nullptr);
    box->setPromptText(true);
    box->showWidget();
    return box;
}

inline MessageBox* showMeetingRefusal(int code)
{
    auto* box = new MessageBox(code, true, nullptr);
    box->setPromptText(false);
    box->showWidget();
    return box;
}
