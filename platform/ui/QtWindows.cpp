// The window glue: widgets of the toolkit for the layer's window records, while a dialog is
// on screen. Everything the program sees stays in the records; the widgets show them and
// report the user's actions back.
#include "Dialog.h"
#include "FileDialog.h"
#include "WindowHandle.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDialog>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include <algorithm>

namespace {

QString ToQ(const CString& s) { return QString::fromUtf16(s.GetString(), s.GetLength()); }
CString FromQ(const QString& s) { return CString(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<int>(s.size())); }

// The installed faces that stand in for the ones the templates and the program name. A
// Japanese face is always named first, so that kanji never take Chinese forms.
QStringList StandInFamilies(const CString& face, bool fixedPitch)
{
    const std::u16string& f = face.Str();
    if (f == u"ＭＳ ゴシック" || f == u"MS Gothic" || f == u"ＭＳ 明朝" || (fixedPitch && f != u"MS UI Gothic"))
        return {QStringLiteral("IPAGothic"), QStringLiteral("IPAPGothic")};
    if (f == u"MS UI Gothic" || f == u"ＭＳ Ｐゴシック" || f == u"MS PGothic" || f == u"MS Shell Dlg" || f.empty())
        return {QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
    return {ToQ(face), QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")};
}

QFont StandInFont(const CString& face, bool fixedPitch, int pixelSize, int weight)
{
    QFont font;
    font.setFamilies(StandInFamilies(face, fixedPitch));
    font.setPixelSize(std::max(1, pixelSize));
    font.setWeight(weight >= 600 ? QFont::Bold : QFont::Normal);
    font.setStyleHint(fixedPitch ? QFont::Monospace : QFont::SansSerif);
    return font;
}

int DpiY()
{
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(screen->logicalDotsPerInchY() + 0.5) : 96;
}

QFont TemplateFont(const DialogTemplate& t)
{
    return StandInFont(CString(t.font.face), false, (t.font.pointSize * DpiY() + 36) / 72, t.font.weight);
}

QColor ToColor(COLORREF c) { return QColor(GetRValue(c), GetGValue(c), GetBValue(c)); }

class DialogWidget;

// Mirrors one control's record into its widget.
class ControlPeer : public WindowPeer {
public:
    ControlPeer(QWidget* widget, QFont baseFont) : m_widget(widget), m_baseFont(std::move(baseFont)) {}
    ~ControlPeer() override = default;

    void Update(WindowHandle& w, Aspect aspect) override
    {
        if (!m_widget) return;
        switch (aspect) {
        case Aspect::Text: ShowText(w); break;
        case Aspect::Enabled: ShowEnabled(w); break;
        case Aspect::Visible: m_widget->setVisible(w.visible); break;
        case Aspect::Check:
            if (auto* box = qobject_cast<QCheckBox*>(m_widget)) {
                const QSignalBlocker block(box);
                box->setChecked(w.check == BST_CHECKED);
            }
            break;
        case Aspect::Items:
            if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
                const QSignalBlocker block(list);
                // Entries come one at a time: an added one is appended, so that filling a list
                // costs its length, not its square. Anything else rebuilds it.
                if (static_cast<size_t>(list->count()) + 1 == w.items.size()) {
                    list->addItem(ToQ(w.items.back()));
                } else {
                    list->clear();
                    for (const CString& item : w.items) list->addItem(ToQ(item));
                }
                list->setCurrentRow(w.curSel);
            }
            break;
        case Aspect::Selection:
            if (auto* list = qobject_cast<QListWidget*>(m_widget)) {
                const QSignalBlocker block(list);
                if (w.curSel < 0) {
                    list->setCurrentRow(-1);
                    list->clearSelection();
                } else {
                    list->setCurrentRow(w.curSel);
                }
            }
            break;
        case Aspect::Font: ShowFont(w); break;
        case Aspect::TabStops: ShowTabStops(w); break;
        case Aspect::Colors: ShowColors(w); break;
        case Aspect::Focus: break;
        }
    }

    QWidget* Widget() const { return m_widget; }

    // The toolkit hands the focus of a control being disabled to the next one, which may be a
    // push button that Return would then press. The dialog manager keeps it on the disabled
    // control instead, where Return reaches the default button, and the control has it again
    // once enabled, unless the user has put it elsewhere meanwhile.
    void ShowEnabled(WindowHandle& w)
    {
        QWidget* window = m_widget->window();
        WindowHandle* dialog = w.Dialog();
        if (!w.enabled && window->focusWidget() == m_widget) window->setFocus(Qt::OtherFocusReason);
        m_widget->setEnabled(w.enabled);
        if (w.enabled && dialog && dialog->focus == &w && window->focusWidget() == window)
            m_widget->setFocus(Qt::OtherFocusReason);
    }

    void ShowText(const WindowHandle& w)
    {
        const QString text = ToQ(w.text);
        if (auto* label = qobject_cast<QLabel*>(m_widget)) {
            if (w.kind == ControlKind::Link) label->setText(QStringLiteral("<a href=\"%1\">%2</a>").arg(text.toHtmlEscaped(), text.toHtmlEscaped()));
            else label->setText(text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(m_widget)) {
            button->setText(text);
        } else if (auto* box = qobject_cast<QGroupBox*>(m_widget)) {
            box->setTitle(text);
        } else if (auto* line = qobject_cast<QLineEdit*>(m_widget)) {
            const QSignalBlocker block(line);
            line->setText(text);
        } else if (auto* edit = qobject_cast<QPlainTextEdit*>(m_widget)) {
            const QSignalBlocker block(edit);
            edit->setPlainText(text);
        }
    }

    void ShowFont(const WindowHandle& w)
    {
        QFont font = m_baseFont;
        if (w.font) {
            const int lpy = w.parent ? w.parent->logPixelsY : 96;
            int pixels = w.font->height < 0 ? -w.font->height : w.font->height;
            if (pixels == 0) pixels = (9 * lpy + 36) / 72;
            font = StandInFont(w.font->faceName, (w.font->pitchAndFamily & 0x3) == FIXED_PITCH, pixels, w.font->weight);
            font.setItalic(w.font->italic);
            font.setUnderline(w.font->underline);
            font.setStrikeOut(w.font->strikeOut);
        }
        m_widget->setFont(font);
        ShowTabStops(w);
    }

    void ShowTabStops(const WindowHandle& w)
    {
        auto* edit = qobject_cast<QPlainTextEdit*>(m_widget);
        if (!edit) return;
        // Stops are in dialog template units of the field's own font: four units a character.
        const QFontMetrics metrics(edit->font());
        const double average = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52.0;
        const int units = w.tabStops.empty() ? 32 : std::max(1, w.tabStops.front());
        edit->setTabStopDistance(units * average / 4.0);
    }

    void ShowColors(const WindowHandle& w)
    {
        QPalette palette = m_widget->palette();
        const QPalette defaults = QApplication::palette(m_widget);
        const QColor text = w.textColor ? ToColor(*w.textColor) : defaults.color(QPalette::WindowText);
        palette.setColor(QPalette::WindowText, text);
        palette.setColor(QPalette::Text, w.textColor ? text : defaults.color(QPalette::Text));
        palette.setColor(QPalette::ButtonText, w.textColor ? text : defaults.color(QPalette::ButtonText));
        const QColor back = w.background ? ToColor(*w.background) : defaults.color(QPalette::Base);
        palette.setColor(QPalette::Base, back);
        if (w.background) {
            palette.setColor(QPalette::Window, back);
        } else {
            palette.setColor(QPalette::Window, defaults.color(QPalette::Window));
        }
        if (w.kind == ControlKind::Edit && (w.style & ES_READONLY) && !w.background) {
            // A read-only field without a brush of the program's own keeps the dialog's colour.
            palette.setColor(QPalette::Base, defaults.color(QPalette::Window));
        }
        m_widget->setPalette(palette);
        if (w.kind == ControlKind::Label) m_widget->setAutoFillBackground(w.background.has_value());
    }

private:
    QPointer<QWidget> m_widget;
    QFont m_baseFont;
};

class DialogWidget : public QDialog {
public:
    explicit DialogWidget(WindowHandle& record) : m_record(record) {}

    void reject() override
    {
        if (m_record.dialog) m_record.dialog->PressEscape();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_F1 && !(event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier))) {
            if (m_record.dialog) m_record.dialog->PressHelpKey();
            return;
        }
        QDialog::keyPressEvent(event);
    }

    void closeEvent(QCloseEvent* event) override
    {
        if (m_record.dialog && !m_record.dialog->IsEnded()) m_record.dialog->PressCloseBox();
        if (m_record.dialog && !m_record.dialog->IsEnded()) event->ignore();
        else QDialog::closeEvent(event);
    }

private:
    WindowHandle& m_record;
};

class DialogPeer : public WindowPeer {
public:
    explicit DialogPeer(DialogWidget* widget) : m_widget(widget) {}
    ~DialogPeer() override { delete m_widget.data(); }

    void Update(WindowHandle& w, Aspect aspect) override
    {
        if (!m_widget) return;
        if (aspect == Aspect::Text) m_widget->setWindowTitle(ToQ(w.text));
        if (aspect == Aspect::Enabled) m_widget->setEnabled(w.enabled);
        if (aspect == Aspect::Focus && w.focus) {
            if (auto* peer = dynamic_cast<ControlPeer*>(w.focus->peer.get()); peer && peer->Widget())
                peer->Widget()->setFocus(Qt::OtherFocusReason);
        }
    }

    DialogWidget* Widget() const { return m_widget; }

private:
    QPointer<DialogWidget> m_widget;
};

// Multi-line fields hand Enter to the dialog unless they want it, as dialog edit fields do.
class EnterToDialog : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter || key->key() == Qt::Key_Escape) {
                auto* widget = static_cast<QWidget*>(watched);
                if (auto* dialog = qobject_cast<QDialog*>(widget->window())) {
                    QKeyEvent copy(key->type(), key->key(), key->modifiers(), key->text());
                    QCoreApplication::sendEvent(dialog, &copy);
                    return true;
                }
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

// Keeps the dialog's record of the focused control in step with the user's moves.
class FocusTracker : public QObject {
public:
    FocusTracker(QObject* parent, WindowHandle& record) : QObject(parent), m_record(record) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::FocusIn) m_record.Dialog()->focus = &m_record;
        return QObject::eventFilter(watched, event);
    }

private:
    WindowHandle& m_record;
};

QString StripMnemonic(const QString& text)
{
    QString out;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) ++i;
        out += text[i];
    }
    return out;
}

// The widest text a control must show, and how much room its decoration takes.
bool Fits(const QFont& font, const WindowHandle& w)
{
    const QFontMetrics m(font);
    const QString text = (w.style & SS_NOPREFIX) && w.kind == ControlKind::Label ? ToQ(w.text) : StripMnemonic(ToQ(w.text));
    if (text.isEmpty()) return true;
    const CRect& r = w.rect;
    switch (w.kind) {
    case ControlKind::Label: {
        const QRect needed = m.boundingRect(QRect(0, 0, r.Width(), 100000), Qt::TextWordWrap, text);
        const bool multiLine = r.Height() >= 2 * m.height();
        return multiLine ? needed.height() <= r.Height() : m.horizontalAdvance(text) <= r.Width();
    }
    case ControlKind::CheckBox:
        return m.horizontalAdvance(text) + QApplication::style()->pixelMetric(QStyle::PM_IndicatorWidth) + 4 <= r.Width();
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
        return m.horizontalAdvance(text) + 6 <= r.Width();
    case ControlKind::GroupBox:
        return m.horizontalAdvance(text) + 16 <= r.Width();
    default:
        return true;
    }
}

// The template's layout stays; a text too wide for its control in the stand-in face is set a
// little smaller rather than cut off.
QFont FittingFont(const QFont& base, const WindowHandle& w)
{
    QFont font = base;
    while (!Fits(font, w) && font.pixelSize() > 7) font.setPixelSize(font.pixelSize() - 1);
    return font;
}

QWidget* CreateWidget(WindowHandle& w, QWidget* parent, CDialog* dialog)
{
    const QString text = ToQ(w.text);
    const int id = w.id;
    switch (w.kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton: {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(true);
        button->setDefault(w.kind == ControlKind::DefPushButton);
        QObject::connect(button, &QPushButton::clicked, button, [dialog, id] { dialog->ClickButton(id); });
        return button;
    }
    case ControlKind::CheckBox: {
        auto* box = new QCheckBox(text, parent);
        box->setChecked(w.check == BST_CHECKED);
        // The record toggles and notifies, so the widget's own toggle is undone first.
        QObject::connect(box, &QCheckBox::clicked, box, [dialog, id, box](bool) {
            const QSignalBlocker block(box);
            box->setChecked(!box->isChecked());
            dialog->ClickButton(id);
        });
        return box;
    }
    case ControlKind::GroupBox: {
        auto* box = new QGroupBox(text, parent);
        box->setAttribute(Qt::WA_TransparentForMouseEvents);
        // The frame runs through the middle of the title, as the templates' layouts assume:
        // the toolkit's own style puts it below the title, onto the controls placed under it.
        box->setStyleSheet(QStringLiteral(
            "QGroupBox { border: 1px solid palette(mid); border-radius: 0; margin-top: 0.5em; }"
            "QGroupBox::title { subcontrol-origin: margin; subcontrol-position: top left; left: 5px; padding: 0 2px; }"));
        return box;
    }
    case ControlKind::Label:
    case ControlKind::Link: {
        auto* label = new QLabel(parent);
        if (w.kind == ControlKind::Link) {
            label->setTextFormat(Qt::RichText);
            label->setOpenExternalLinks(true);
            label->setText(QStringLiteral("<a href=\"%1\">%1</a>").arg(text.toHtmlEscaped()));
        } else {
            label->setTextFormat(Qt::PlainText);
            label->setText(text);
        }
        Qt::Alignment align = Qt::AlignTop;
        align |= (w.style & 0x3) == SS_RIGHT ? Qt::AlignRight : (w.style & 0x3) == SS_CENTER ? Qt::AlignHCenter : Qt::AlignLeft;
        label->setAlignment(align);
        label->setWordWrap(true);
        return label;
    }
    case ControlKind::Edit: {
        if (w.style & ES_MULTILINE) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(w.style & ES_READONLY);
            edit->setLineWrapMode((w.style & (ES_AUTOHSCROLL | WS_HSCROLL)) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
            edit->setHorizontalScrollBarPolicy((w.style & WS_HSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setVerticalScrollBarPolicy((w.style & WS_VSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
            edit->setPlainText(text);
            if (!(w.style & ES_WANTRETURN)) edit->installEventFilter(new EnterToDialog(edit));
            WindowHandle* record = &w;
            QObject::connect(edit, &QPlainTextEdit::textChanged, edit, [record, edit] {
                record->text = FromQ(edit->toPlainText());
            });
            return edit;
        }
        auto* line = new QLineEdit(text, parent);
        line->setReadOnly(w.style & ES_READONLY);
        line->setFrame(w.style & WS_BORDER);
        WindowHandle* record = &w;
        QObject::connect(line, &QLineEdit::textEdited, line, [record](const QString& now) { record->text = FromQ(now); });
        return line;
    }
    case ControlKind::ListBox: {
        auto* list = new QListWidget(parent);
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        list->setVerticalScrollBarPolicy((w.style & LBS_DISABLENOSCROLL) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAsNeeded);
        WindowHandle* record = &w;
        const bool notify = w.style & LBS_NOTIFY;
        QObject::connect(list, &QListWidget::currentRowChanged, list, [record, dialog, id, notify](int row) {
            record->curSel = row;
            if (notify) dialog->RouteCommand(id, LBN_SELCHANGE);
        });
        QObject::connect(list, &QListWidget::itemDoubleClicked, list, [record, dialog, id, list, notify](QListWidgetItem* item) {
            record->curSel = list->row(item);
            if (notify) dialog->RouteCommand(id, LBN_DBLCLK);
        });
        return list;
    }
    case ControlKind::HorizontalLine: {
        auto* line = new QFrame(parent);
        line->setFrameShape(QFrame::HLine);
        line->setFrameShadow(QFrame::Sunken);
        return line;
    }
    case ControlKind::Icon:
    case ControlKind::Placeholder:
        return new QWidget(parent);
    }
    return new QWidget(parent);
}

} // namespace

namespace ui_detail {

bool HaveToolkit() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

void MeasureDialogFont(WindowHandle& dialog, const DialogTemplate& t)
{
    if (!HaveToolkit()) return;
    const QFontMetrics metrics(TemplateFont(t));
    const int alphabet = metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    dialog.baseUnitX = (alphabet / 26 + 1) / 2;
    dialog.baseUnitY = metrics.height();
    dialog.logPixelsY = DpiY();
}

bool CreateOnScreen(WindowHandle& dialog, const DialogTemplate& t)
{
    if (!HaveToolkit()) return false;
    auto* widget = new DialogWidget(dialog);
    widget->setWindowTitle(ToQ(dialog.text));
    widget->setModal(true);
    widget->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    const QFont font = TemplateFont(t);
    widget->setFont(font);
    widget->setFixedSize(dialog.rect.Width(), dialog.rect.Height());
    if (QWidget* active = QApplication::activeWindow()) {
        widget->setParent(active, widget->windowFlags());
    }
    dialog.peer = std::make_unique<DialogPeer>(widget);

    std::vector<QWidget*> widgets;
    for (auto& child : dialog.children) {
        QWidget* w = CreateWidget(*child, widget, dialog.dialog);
        w->setGeometry(child->rect.left, child->rect.top, child->rect.Width(), child->rect.Height());
        w->setFont(FittingFont(font, *child));
        w->setEnabled(child->enabled);
        w->setVisible(child->visible);
        const bool focusable = child->kind != ControlKind::Label && child->kind != ControlKind::GroupBox &&
                               child->kind != ControlKind::HorizontalLine && child->kind != ControlKind::Icon &&
                               child->kind != ControlKind::Placeholder;
        if (focusable) {
            w->setFocusPolicy((child->style & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus);
            w->installEventFilter(new FocusTracker(w, *child));
        }
        else w->setFocusPolicy(Qt::NoFocus);
        if (child->kind == ControlKind::GroupBox) w->lower();
        child->peer = std::make_unique<ControlPeer>(w, w->font());
        widgets.push_back(w);
    }
    // Tab order is template order; a label's mnemonic moves to the next control that takes focus.
    QWidget* previous = nullptr;
    for (size_t i = 0; i < widgets.size(); ++i) {
        if (widgets[i]->focusPolicy() & Qt::TabFocus) {
            if (previous) QWidget::setTabOrder(previous, widgets[i]);
            previous = widgets[i];
        }
        if (auto* label = qobject_cast<QLabel*>(widgets[i]); label && !(dialog.children[i]->style & SS_NOPREFIX)) {
            for (size_t j = i + 1; j < widgets.size(); ++j) {
                if (widgets[j]->focusPolicy() & Qt::TabFocus) {
                    label->setTextFormat(Qt::PlainText);
                    label->setText(ToQ(dialog.children[i]->text));
                    label->setBuddy(widgets[j]);
                    break;
                }
            }
        }
    }
    DecorateOnScreen(dialog, widget, widgets);
    return true;
}

INT_PTR RunOnScreen(WindowHandle& dialog)
{
    auto* peer = static_cast<DialogPeer*>(dialog.peer.get());
    DialogWidget* widget = peer->Widget();
    if (dialog.focus) dialog.Changed(Aspect::Focus);
    widget->exec();
    return dialog.dialog->GetResult();
}

void EndOnScreen(WindowHandle& dialog, INT_PTR result)
{
    auto* peer = static_cast<DialogPeer*>(dialog.peer.get());
    if (peer && peer->Widget()) peer->Widget()->done(static_cast<int>(result));
}

void NotifyPosted(WindowHandle& dialog)
{
    auto* peer = dynamic_cast<DialogPeer*>(dialog.peer.get());
    if (!peer || !peer->Widget()) return;
    WindowHandle* record = &dialog;
    QMetaObject::invokeMethod(peer->Widget(), [record] {
        CDialog* d = record->dialog;
        if (!d) return;
        while (!d->IsEnded()) {
            PostedMessage m;
            {
                std::lock_guard lock(record->postedMutex);
                if (record->posted.empty()) return;
                m = record->posted.front();
                record->posted.pop_front();
            }
            Guarded([&] { d->SendMessage(m.message, m.wParam, m.lParam); });
            d->ApplyControlColors();
        }
    }, Qt::QueuedConnection);
}

bool RunFileDialogOnScreen(CFileDialog& dialog, CString& path)
{
    if (!HaveToolkit()) return false;
    QStringList filters;
    for (const FileFilter& f : ParseFileFilter(dialog.GetFilter())) {
        // "*.*" means every file here, as it does where the filters were written.
        QStringList patterns = ToQ(f.pattern).split(u';', Qt::SkipEmptyParts);
        for (QString& p : patterns) {
            p = p.trimmed();
            if (p == QStringLiteral("*.*")) p = QStringLiteral("*");
        }
        // The description usually shows its patterns already; the dialog reads them from there.
        QString description = ToQ(f.description).trimmed();
        const QString shown = QStringLiteral("(") + ToQ(f.pattern) + QStringLiteral(")");
        if (description.endsWith(shown)) description.chop(shown.size());
        filters << QStringLiteral("%1 (%2)").arg(description.trimmed(), patterns.join(u' '));
    }
    QFileDialog fileDialog(QApplication::activeWindow(), ToQ(dialog.GetTitle()));
    fileDialog.setAcceptMode(dialog.IsOpenDialog() ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    fileDialog.setFileMode(dialog.IsOpenDialog() ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!(dialog.m_ofn.Flags & OFN_OVERWRITEPROMPT)) fileDialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!filters.isEmpty()) fileDialog.setNameFilters(filters);
    if (!dialog.GetDefaultExt().IsEmpty()) fileDialog.setDefaultSuffix(ToQ(dialog.GetDefaultExt()));
    if (fileDialog.exec() != QDialog::Accepted || fileDialog.selectedFiles().isEmpty()) return false;
    path = FromQ(fileDialog.selectedFiles().front());
    return true;
}

} // namespace ui_detail
