// Answers message boxes in tests and records every one shown, so that tests can assert each
// message, its style and their order.
#pragma once

#include "MessageBox.h"

#include <deque>
#include <string>
#include <vector>

class ScriptedResponder {
public:
    struct Box {
        std::string text;  // UTF-8, for readable assertions
        UINT style;
        UINT helpId;
    };

    ScriptedResponder();
    ~ScriptedResponder();
    ScriptedResponder(const ScriptedResponder&) = delete;
    ScriptedResponder& operator=(const ScriptedResponder&) = delete;

    // Queues the answer for the next box; without one, an OK box gets IDOK and a question IDYES.
    void Answer(int result) { m_answers.push_back(result); }

    const std::vector<Box>& Boxes() const { return m_boxes; }
    std::vector<std::string> Texts() const;
    void Clear() { m_boxes.clear(); }

private:
    int Present(const CString& text, UINT style, UINT helpId);

    std::vector<Box> m_boxes;
    std::deque<int> m_answers;
    MessageBoxPresenter m_previous;
};
