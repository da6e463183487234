#include <QApplication>

#include "panel/frmTor720.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    t720::frmTor720 window;
    window.show();
    return app.exec();
}
