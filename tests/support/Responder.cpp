#include "Responder.h"

ScriptedResponder::ScriptedResponder()
{
    m_previous = SetMessageBoxPresenter([this](const CString& text, UINT style, UINT helpId) {
        return Present(text, style, helpId);
    });
}

ScriptedResponder::~ScriptedResponder()
{
    SetMessageBoxPresenter(std::move(m_previous));
}

int ScriptedResponder::Present(const CString& text, UINT style, UINT helpId)
{
    m_boxes.push_back({text.ToUtf8(), style, helpId});
    if (!m_answers.empty()) {
        const int answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }
    const UINT type = style & MB_TYPEMASK;
    return (type == MB_YESNO || type == MB_YESNOCANCEL) ? IDYES : IDOK;
}

std::vector<std::string> ScriptedResponder::Texts() const
{
    std::vector<std::string> texts;
    for (const auto& box : m_boxes) texts.push_back(box.text);
    return texts;
}
