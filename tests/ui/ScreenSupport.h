// Driving on-screen dialogs from a test: code that runs once the next modal window is up.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

// Runs action on the next modal window (other than skip) once it is visible and active, from the event
// loop of the dialog that shows it.
inline void WhenModalShown(std::function<void(QWidget*)> action, QWidget* skip = nullptr)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action, skip] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == skip || !modal->isVisible()) return;
        // Keys reach a window only once it is active, as on a desktop.
        if (!modal->isActiveWindow()) {
            modal->activateWindow();
            return;
        }
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

template <class W> W* FindByText(QWidget* parent, const QString& text)
{
    for (W* w : parent->findChildren<W*>()) {
        if (w->text() == text) return w;
    }
    return nullptr;
}

inline QAbstractButton* FindButton(QWidget* parent, const char16_t* text)
{
    return FindByText<QAbstractButton>(parent, QString::fromUtf16(text));
}

// Where screenshots go: the build folder of the tests.
inline QString ScreenshotPath(const char* name)
{
    return QString::fromUtf8(FENWRAP_SCREENSHOT_DIR) + QLatin1Char('/') + QString::fromUtf8(name);
}
