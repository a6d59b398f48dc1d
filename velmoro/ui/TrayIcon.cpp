#include "velmoro/ui/TrayIcon.h"

#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace zorva::velmoro {

TrayIcon::TrayIcon(QWidget& window, const QIcon& icon, bool available)
    : QObject(&window), window_(window), available_(available) {
    icon_ = new QSystemTrayIcon(icon, this);
    icon_->setObjectName(QStringLiteral("trayIcon"));
    icon_->setToolTip(QStringLiteral("Velmoro"));
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::Trigger) RestoreFromTray();
    });
}

void TrayIcon::WindowStateChanged() {
    if (window_.isMinimized() && available_) {
        QTimer::singleShot(0, this, &TrayIcon::MinimizeToTray);
    }
}

void TrayIcon::Hide() {
    icon_->hide();
}

void TrayIcon::MinimizeToTray() {
    icon_->show();
    window_.hide();
}

void TrayIcon::RestoreFromTray() {
    icon_->hide();
    window_.showNormal();
    window_.activateWindow();
}

}  // namespace zorva::velmoro
