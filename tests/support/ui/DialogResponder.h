// Answers modal dialogs in tests, with no display: records every dialog that DoModal was asked
// to show (template id and class) and answers each from a queue. A template dialog's default
// answer is a click on "OK" (IDOK), so its data exchange runs; a file dialog's is IDCANCEL.
#pragma once

#include "Dialog.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

class ScriptedDialogResponder {
public:
    struct Shown {
        UINT templateId;        // 0 for a file dialog
        std::string className;  // the dialog's C++ class, e.g. "CMetaDataDlg"
    };
    // Runs on the initialised dialog; DoModal returns the dialog's result if the action ended
    // it, else what the action returned.
    using Action = std::function<INT_PTR(CDialog&)>;

    ScriptedDialogResponder();
    ~ScriptedDialogResponder();
    ScriptedDialogResponder(const ScriptedDialogResponder&) = delete;
    ScriptedDialogResponder& operator=(const ScriptedDialogResponder&) = delete;

    // The next dialog is answered by a click on the button with this id (IDOK, IDCANCEL...);
    // for a file dialog, IDOK chooses the path it was opened with.
    void Answer(INT_PTR buttonId);
    void Answer(Action action);
    // The next file dialog chooses this path (UTF-8) and ends with IDOK.
    void AnswerFile(const std::string& path);
    // Called with every dialog before it is answered, e.g. to read its members.
    void OnEachDialog(std::function<void(CDialog&)> inspector) { m_inspector = std::move(inspector); }

    const std::vector<Shown>& Dialogs() const { return m_shown; }
    void Clear() { m_shown.clear(); }

private:
    INT_PTR Present(CDialog& dialog);

    std::vector<Shown> m_shown;
    std::deque<Action> m_answers;
    std::function<void(CDialog&)> m_inspector;
    DialogPresenter m_previous;
};

// A click on button id as the user would make it; returns the dialog's result, or id when
// the click did not end the dialog.
INT_PTR PressButton(CDialog& dialog, INT_PTR id);
