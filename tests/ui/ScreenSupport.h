// Driving on-screen dialogs from a test: code that runs once the next modal window is up.
#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <string>

// Runs action on the next modal window (other than skip) once it is visible, from the event
// loop of the dialog that shows it.
inline void WhenModalShown(std::function<void(QWidget*)> action, QWidget* skip = nullptr)
{
    auto* timer = new QTimer;
    timer->setInterval(5);
    QObject::connect(timer, &QTimer::timeout, [timer, action, skip] {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == skip || !modal->isVisible()) return;
        timer->stop();
        timer->deleteLater();
        action(modal);
    });
    timer->start();
}

// Where screenshots go: the build folder of the tests.
inline std::string ScreenshotPath(const std::string& name)
{
    return std::string(FENWRAP_SCREENSHOT_DIR) + "/" + name;
}
