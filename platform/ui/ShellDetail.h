// What Shell.cpp keeps for a window beyond the layer's record.
#pragma once

#include "Shell.h"
#include "WindowHandle.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <optional>
#include <vector>

struct WindowExtras {
    std::optional<CMenu> systemMenu;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
    QPointer<QWidget> widget;  // the window on screen, while it is
    std::vector<std::shared_ptr<CObject>> owned;  // child windows that live as long as this one
};

namespace ui_detail {
WindowExtras& Extras(WindowHandle& w);
// The widget that shows a window on screen, or nullptr.
QWidget* OnScreenWidget(const WindowHandle* w);
// Sets a window's icon on screen.
void ShowIcon(WindowHandle& dialog);
} // namespace ui_detail
