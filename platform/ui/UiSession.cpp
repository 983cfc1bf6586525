#include "UiSession.h"

#include "MessageBox.h"
#include "WinApp.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTranslator>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

namespace {

// What the toolkit says while it starts is held back: when it cannot start at all (most often
// a display that cannot be opened) it would print several lines and abort, where one line
// saying what to do serves the user better.
std::vector<std::pair<QtMsgType, QString>> g_startMessages;

void HoldStartMessage(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type != QtFatalMsg) {
        g_startMessages.emplace_back(type, text);
        return;
    }
    if (const char* platform = std::getenv("QT_QPA_PLATFORM"); platform && *platform) {
        std::fprintf(stderr, "fenwrap: the window cannot be shown: the window system QT_QPA_PLATFORM=\"%s\" cannot be started\n",
                     platform);
        std::_Exit(1);
    }
    constexpr const char* kWhatToDo = "(start Fenwrap from a desktop session, or under a virtual display: xvfb-run -a)";
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY"}) {
        if (const char* display = std::getenv(variable); display && *display) {
            std::fprintf(stderr, "fenwrap: the window cannot be shown: display %s=\"%s\" cannot be opened %s\n",
                         variable, display, kWhatToDo);
            std::_Exit(1);
        }
    }
    std::fprintf(stderr, "fenwrap: the window cannot be shown: no display is set in DISPLAY or WAYLAND_DISPLAY %s\n",
                 kWhatToDo);
    std::_Exit(1);
}

std::unique_ptr<QApplication> StartToolkit(int& argc, char** argv)
{
    g_startMessages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(HoldStartMessage);
    auto app = std::make_unique<QApplication>(argc, argv);
    qInstallMessageHandler(previous);
    const QMessageLogContext context;
    for (const auto& [type, text] : std::exchange(g_startMessages, {})) {
        if (previous)
            previous(type, context, text);
        else
            std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    }
    return app;
}

QString ToQ(const CString& s) { return QString::fromUtf16(s.GetString(), s.GetLength()); }

// A message box as the program's users know it: the product title as caption, Japanese button
// texts, and Esc only where the box has a way out (Cancel, or a lone OK).
int ShowMessageBox(const CString& text, UINT style, UINT)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return IDOK;
    const UINT type = style & MB_TYPEMASK;
    UINT icon = style & MB_ICONMASK;
    if (icon == 0) icon = (type == MB_YESNO || type == MB_YESNOCANCEL) ? MB_ICONQUESTION : MB_ICONEXCLAMATION;

    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(ToQ(AfxGetAppTitle()));
    box.setText(ToQ(text));
    box.setTextFormat(Qt::PlainText);
    // Lines of a usual length stay whole, as in a desktop's message boxes; longer ones wrap.
    if (auto* label = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
        const QFontMetrics metrics(label->font());
        int widest = 0;
        for (const QString& line : ToQ(text).split(u'\n')) widest = std::max(widest, metrics.horizontalAdvance(line));
        label->setMinimumWidth(std::min(widest + 2, 560));
    }
    box.setWindowModality(box.parentWidget() ? Qt::WindowModal : Qt::ApplicationModal);
    switch (icon) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: box.setIcon(QMessageBox::Warning); break;
    }

    // All buttons take the action role, so that the box finds no Esc button of its own.
    std::vector<std::pair<QPushButton*, int>> buttons;
    auto add = [&](const char16_t* label, int result) {
        QPushButton* b = box.addButton(QString::fromUtf16(label), QMessageBox::ActionRole);
        buttons.emplace_back(b, result);
        return b;
    };
    QPushButton* escape = nullptr;
    switch (type) {
    case MB_OKCANCEL:
        add(u"OK", IDOK);
        escape = add(u"キャンセル", IDCANCEL);
        break;
    case MB_YESNO:
        add(u"はい(&Y)", IDYES);
        add(u"いいえ(&N)", IDNO);
        break;
    case MB_YESNOCANCEL:
        add(u"はい(&Y)", IDYES);
        add(u"いいえ(&N)", IDNO);
        escape = add(u"キャンセル", IDCANCEL);
        break;
    default:
        escape = add(u"OK", IDOK);
        break;
    }
    box.setDefaultButton(buttons.front().first);
    if (escape) box.setEscapeButton(escape);
    box.exec();
    for (const auto& [button, result] : buttons) {
        if (box.clickedButton() == button) return result;
    }
    return escape ? (type == MB_OK ? IDOK : IDCANCEL) : buttons.front().second;
}

} // namespace

struct UiSession::Impl {
    std::unique_ptr<QApplication> app;
    QTranslator qtTranslator;
    MessageBoxPresenter previousBoxes;
};

UiSession::UiSession(int& argc, char** argv) : m_impl(std::make_unique<Impl>())
{
    if (!QCoreApplication::instance()) m_impl->app = StartToolkit(argc, argv);
    // The toolkit's own dialogs (the file dialogs) speak Japanese, whatever the desktop's locale.
    QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    if (m_impl->qtTranslator.load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                                  QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&m_impl->qtTranslator);
    QFont font;
    font.setFamilies({QStringLiteral("IPAPGothic"), QStringLiteral("IPAGothic")});
    font.setPixelSize(12);
    QApplication::setFont(font);
    m_impl->previousBoxes = SetMessageBoxPresenter(ShowMessageBox);
}

UiSession::~UiSession()
{
    SetMessageBoxPresenter(std::move(m_impl->previousBoxes));
    QCoreApplication::removeTranslator(&m_impl->qtTranslator);
}
