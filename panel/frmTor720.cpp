#include "panel/frmTor720.h"

#include <QStatusBar>

namespace t720 {

frmTor720::frmTor720(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QString::fromUtf8(kMainTitle));
    statusPanel1_ = new QLabel(QStringLiteral("USB Datenverkehr"), this);
    statusBar()->addWidget(statusPanel1_, 1);
    resize(720, 480);
}

}  // namespace t720
