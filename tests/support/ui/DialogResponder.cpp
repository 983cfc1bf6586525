#include "DialogResponder.h"

#include "FileDialog.h"

#include <cxxabi.h>
#include <cstdlib>
#include <memory>
#include <typeinfo>

namespace {

std::string ClassName(const CDialog& dialog)
{
    const char* mangled = typeid(dialog).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> name(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
    return status == 0 && name ? std::string(name.get()) : std::string(mangled);
}

} // namespace

INT_PTR PressButton(CDialog& dialog, INT_PTR id)
{
    dialog.ClickButton(static_cast<int>(id));
    return dialog.IsEnded() ? dialog.GetResult() : id;
}

ScriptedDialogResponder::ScriptedDialogResponder()
{
    m_previous = SetDialogPresenter([this](CDialog& dialog) { return Present(dialog); });
}

ScriptedDialogResponder::~ScriptedDialogResponder()
{
    SetDialogPresenter(std::move(m_previous));
}

void ScriptedDialogResponder::Answer(INT_PTR buttonId)
{
    m_answers.push_back([buttonId](CDialog& dialog) -> INT_PTR {
        if (dynamic_cast<CFileDialog*>(&dialog)) return buttonId;
        return PressButton(dialog, buttonId);
    });
}

void ScriptedDialogResponder::Answer(Action action)
{
    m_answers.push_back(std::move(action));
}

void ScriptedDialogResponder::AnswerFile(const std::string& path)
{
    m_answers.push_back([path](CDialog& dialog) -> INT_PTR {
        if (auto* file = dynamic_cast<CFileDialog*>(&dialog)) file->SetPathName(CString::FromUtf8(path));
        return IDOK;
    });
}

INT_PTR ScriptedDialogResponder::Present(CDialog& dialog)
{
    m_shown.push_back({dialog.GetTemplateId(), ClassName(dialog)});
    if (m_inspector) m_inspector(dialog);
    if (!m_answers.empty()) {
        Action action = std::move(m_answers.front());
        m_answers.pop_front();
        return action(dialog);
    }
    if (dynamic_cast<CFileDialog*>(&dialog)) return IDCANCEL;
    return PressButton(dialog, IDOK);
}
