// The main window: the operator panel of the calibrator.
#pragma once

#include <QLabel>
#include <QMainWindow>

namespace t720 {

inline constexpr const char* kMainTitle = "ZOR Calibration System for T720, V1.18, 01/2015";

class frmTor720 : public QMainWindow {
    Q_OBJECT
public:
    explicit frmTor720(QWidget* parent = nullptr);

private:
    QLabel* statusPanel1_ = nullptr;
};

}  // namespace t720
