#pragma once
// The notification-area icon the minimised main window hides in: a left click on it brings the
// window back, and the scheduler runs on meanwhile.

#include <QObject>

class QIcon;
class QSystemTrayIcon;
class QWidget;

namespace zorva::velmoro {

class TrayIcon final : public QObject {
    Q_OBJECT
public:
    // `available`: the desktop has a notification area; without one a minimised window stays
    // minimised as any other.
    TrayIcon(QWidget& window, const QIcon& icon, bool available);

    // The window's state changed (its changeEvent): a minimised window goes to the tray.
    void WindowStateChanged();
    // The program ends: the icon goes with it.
    void Hide();

private:
    void MinimizeToTray();
    void RestoreFromTray();

    QWidget& window_;
    QSystemTrayIcon* icon_ = nullptr;
    bool available_ = false;
};

}  // namespace zorva::velmoro
