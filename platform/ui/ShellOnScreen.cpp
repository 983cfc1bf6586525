// The shell's part of a dialog on screen: its icon, its system menu, links that open in the
// browser, and fields that take files dropped from the desktop's file manager.
#include "Dialog.h"
#include "ShellDetail.h"

#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QIcon>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPixmap>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QUrl>

namespace {

QString ToQ(const CString& s) { return QString::fromUtf16(s.GetString(), s.GetLength()); }

QPixmap IconPixmap(HICON icon, int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    icon->paint(painter, size);
    return pixmap;
}

QIcon ToQIcon(HICON icon)
{
    QIcon result;
    for (int size : {16, 20, 24, 32, 40, 48, 64, 128, 256}) result.addPixmap(IconPixmap(icon, size));
    return result;
}

// The local paths of a drag's items, in their order; the file manager's other kinds of items
// (web addresses and the like) are left out.
std::vector<CString> LocalPaths(const QMimeData* data)
{
    std::vector<CString> paths;
    if (!data || !data->hasUrls()) return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile()) continue;
        if (!url.host().isEmpty() && url.host() != QStringLiteral("localhost")) continue;
        const QString path = url.toLocalFile();
        if (path.isEmpty()) continue;
        paths.push_back(CString(reinterpret_cast<const char16_t*>(path.utf16()), static_cast<int>(path.size())));
    }
    return paths;
}

// Takes drops of files for a field that accepts them; every other drag is refused, so no
// text is ever dropped into a field.
class FileDropFilter : public QObject {
public:
    FileDropFilter(QObject* parent, WindowHandle* record) : QObject(parent), m_record(record) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDropEvent*>(event);
            if (LocalPaths(drag->mimeData()).empty()) {
                drag->ignore();
            } else {
                drag->setDropAction(Qt::CopyAction);
                drag->accept();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::vector<CString> paths = LocalPaths(drop->mimeData());
            if (paths.empty()) {
                drop->ignore();
            } else {
                drop->setDropAction(Qt::CopyAction);
                drop->accept();
                DropFilesOn(CWnd::FromHandle(m_record), paths);
            }
            return true;
        }
        default:
            return false;
        }
    }

private:
    WindowHandle* m_record;
};

void RunSystemMenu(WindowHandle* record, QWidget* dialogWidget, const QPoint& globalPos)
{
    CWnd* window = CWnd::FromHandle(record);
    CMenu* menu = window ? window->GetSystemMenu(FALSE) : nullptr;
    if (!menu) return;
    QMenu popup(dialogWidget);
    for (const CMenu::Item& item : menu->Items()) {
        if (item.flags & MF_SEPARATOR) {
            popup.addSeparator();
            continue;
        }
        QAction* action = popup.addAction(ToQ(item.text));
        action->setData(QVariant::fromValue<qulonglong>(item.id));
    }
    const QAction* chosen = popup.exec(globalPos);
    if (!chosen || !record->dialog || record->dialog->IsEnded()) return;
    const auto id = static_cast<WPARAM>(chosen->data().toULongLong());
    ui_detail::Guarded([&] { window->SendMessage(WM_SYSCOMMAND, id); });
    if (record->dialog && !record->dialog->IsEnded()) record->dialog->ApplyControlColors();
}

// Opens the system menu on a right-click on the window's background: on the dialog itself or
// on a part of it that takes no input (labels, frames, lines).
class BackgroundMenuFilter : public QObject {
public:
    BackgroundMenuFilter(QWidget* dialogWidget, WindowHandle* record) : QObject(dialogWidget), m_widget(dialogWidget), m_record(record) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched != m_widget || event->type() != QEvent::ContextMenu) return false;
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        const QWidget* under = m_widget->childAt(menuEvent->pos());
        if (under && under->focusPolicy() != Qt::NoFocus) return false;
        RunSystemMenu(m_record, m_widget, menuEvent->globalPos());
        return true;
    }

private:
    QWidget* m_widget;
    WindowHandle* m_record;
};

constexpr const char* kRecordProperty = "fenwrapWindowRecord";

// Alt+Space opens the system menu of the dialog that has the keyboard, whichever of its
// controls has the focus; watched at the application so that no control takes it first.
class AltSpaceFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Space || key->modifiers() != Qt::AltModifier) return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        QWidget* top = widget ? widget->window() : nullptr;
        auto* record = top ? static_cast<WindowHandle*>(top->property(kRecordProperty).value<void*>()) : nullptr;
        if (!record || record->extras == nullptr || record->extras->widget != top) return false;
        RunSystemMenu(record, top, top->mapToGlobal(QPoint(0, 0)));
        return true;
    }
};

void DecorateLink(WindowHandle& control, QLabel* label)
{
    // The link's settings are read through a link object that stands for the control
    // without being bound to it.
    CMFCLinkCtrl probe;
    probe.m_hWnd = &control;
    const QString url = ToQ(probe.GetURL());
    const QString tooltip = ToQ(probe.GetTooltip());
    probe.m_hWnd = nullptr;
    label->setTextFormat(Qt::RichText);
    label->setOpenExternalLinks(false);
    label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(url.toHtmlEscaped(), ToQ(control.text).toHtmlEscaped()));
    label->setToolTip(tooltip);
    label->setWordWrap(false);  // a link is one line, as the control draws it
    WindowHandle* record = &control;
    QObject::connect(label, &QLabel::linkActivated, label, [record] {
        CMFCLinkCtrl link;
        link.m_hWnd = record;
        link.Click();
        link.m_hWnd = nullptr;
    });
}

void DecorateIcon(const WindowHandle& control, QWidget* widget)
{
    bool ok = false;
    const UINT id = ToQ(control.text).toUInt(&ok);
    const HICON icon = ok ? LoadIconResource(id) : nullptr;
    if (!icon) return;
    auto* label = new QLabel(widget);
    const int size = 32;  // the size of an icon, whatever the control's own size
    label->setPixmap(IconPixmap(icon, size));
    label->setGeometry(0, 0, size, size);
}

} // namespace

namespace ui_detail {

void ShowIcon(WindowHandle& dialog)
{
    QWidget* widget = OnScreenWidget(&dialog);
    if (!widget || !dialog.extras) return;
    const HICON icon = dialog.extras->bigIcon ? dialog.extras->bigIcon : dialog.extras->smallIcon;
    widget->setWindowIcon(icon ? ToQIcon(icon) : QIcon());
}

void DecorateOnScreen(WindowHandle& dialog, QWidget* dialogWidget, const std::vector<QWidget*>& controls)
{
    Extras(dialog).widget = dialogWidget;
    dialogWidget->setAcceptDrops(false);
    if (dialog.style & WS_MINIMIZEBOX) dialogWidget->setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    for (size_t i = 0; i < controls.size() && i < dialog.children.size(); ++i) {
        WindowHandle& control = *dialog.children[i];
        QWidget* widget = controls[i];
        switch (control.kind) {
        case ControlKind::Edit:
            widget->setAcceptDrops(control.exStyle & WS_EX_ACCEPTFILES);
            if (control.exStyle & WS_EX_ACCEPTFILES) widget->installEventFilter(new FileDropFilter(widget, &control));
            break;
        case ControlKind::Link:
            if (auto* label = qobject_cast<QLabel*>(widget)) DecorateLink(control, label);
            break;
        case ControlKind::Icon:
            DecorateIcon(control, widget);
            break;
        default:
            break;
        }
    }
    if (dialog.style & WS_SYSMENU) {
        WindowHandle* record = &dialog;
        static QPointer<AltSpaceFilter> altSpace;  // one for the toolkit application, whichever it is
        if (!altSpace) {
            altSpace = new AltSpaceFilter(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(altSpace);
        }
        dialogWidget->setProperty(kRecordProperty, QVariant::fromValue<void*>(record));
        dialogWidget->installEventFilter(new BackgroundMenuFilter(dialogWidget, record));
    }
}

} // namespace ui_detail
