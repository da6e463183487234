// "Ports": the serial ports present and the COM number each is reached by. The
// operator gives a port a COM number; OK writes section "Ports" of the settings
// (the stable by-id name where there is one). The dialog lists, it never opens a
// port; a new mapping applies the next time a port is opened.
#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QTableWidget>
#include <vector>

#include "link/PortList.h"

namespace t720 {

class PortsDialog : public QDialog {
    Q_OBJECT
  public:
    explicit PortsDialog(QWidget* parent = nullptr);

    // Lists the ports again, with the mapping as stored now.
    void Refresh();

    QTableWidget* table = nullptr;
    std::vector<QComboBox*> comChoice;  // per row: 0 none, n for COMn

  private:
    void Choose(size_t row, int com);
    void Apply();

    std::vector<PortInfo> ports_;
    PortMap stored_;
    QLabel* problem_ = nullptr;
};

}  // namespace t720
