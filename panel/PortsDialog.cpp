#include "panel/PortsDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QtText.h"
#include "app/SettingsStore.h"

namespace t720 {

PortsDialog::PortsDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Ports"));
    auto* layout = new QVBoxLayout(this);
    auto* hint = new QLabel(QStringLiteral(
        "The serial ports of this computer. Give a port the COM number the program reaches it "
        "by: the calibrator on COM1 to COM9, the DMM on COM1. The stable name is stored where "
        "there is one, so the choice survives replugging. A change applies the next time the "
        "port is opened."));
    hint->setWordWrap(true);
    layout->addWidget(hint);

    table = new QTableWidget(0, 6, this);
    table->setHorizontalHeaderLabels({QStringLiteral("COM"), QStringLiteral("Device"),
                                      QStringLiteral("Stable name"), QStringLiteral("Description"),
                                      QStringLiteral("Maker"), QStringLiteral("Serial number")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(table, 1);

    problem_ = new QLabel;
    problem_->setStyleSheet(QStringLiteral("color: #d00000;"));
    problem_->setWordWrap(true);
    problem_->hide();
    layout->addWidget(problem_);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    QPushButton* refresh =
        buttons->addButton(QStringLiteral("Refresh"), QDialogButtonBox::ResetRole);
    connect(refresh, &QPushButton::clicked, this, &PortsDialog::Refresh);
    connect(buttons, &QDialogButtonBox::accepted, this, &PortsDialog::Apply);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(960, 340);
    Refresh();
}

void PortsDialog::Refresh() {
    stored_ = StoredPortMap(*OpenSettingsStore());
    ports_ = ListPorts(stored_);
    table->setRowCount(static_cast<int>(ports_.size()));
    comChoice.clear();
    for (size_t i = 0; i < ports_.size(); ++i) {
        const PortInfo& p = ports_[i];
        const int row = static_cast<int>(i);
        auto* com = new QComboBox;
        com->addItem(QStringLiteral("–"));
        for (int n = 1; n <= kMaxComPort; ++n) com->addItem(QStringLiteral("COM%1").arg(n));
        // A port named by several numbers shows the first; OK keeps the others.
        com->setCurrentIndex(p.com.empty() ? 0 : p.com.front());
        connect(com, &QComboBox::currentIndexChanged, this, [this, i](int n) { Choose(i, n); });
        table->setCellWidget(row, 0, com);
        comChoice.push_back(com);

        std::string description = p.description;
        if (!p.listed)
            description = !p.present         ? "missing"
                          : p.target.empty() ? "not listed by the system"
                                             : "not listed by the system; leads to " + p.target;
        const std::string cells[] = {p.device, p.byId, description, p.manufacturer, p.serialNumber};
        for (int c = 0; c < 5; ++c) {
            auto* item = new QTableWidgetItem(Text(cells[c]));
            item->setToolTip(item->text());
            if (!p.listed && c == 2) {
                QFont f = item->font();
                f.setItalic(true);
                item->setFont(f);
            }
            table->setItem(row, c + 1, item);
        }
    }
    table->resizeColumnsToContents();
    problem_->hide();
}

void PortsDialog::Choose(size_t row, int com) {
    // One port per COM number: giving it to this port takes it from any other.
    if (com == 0) return;
    for (size_t i = 0; i < comChoice.size(); ++i) {
        if (i == row || comChoice[i]->currentIndex() != com) continue;
        const QSignalBlocker block(comChoice[i]);
        comChoice[i]->setCurrentIndex(0);
    }
}

void PortsDialog::Apply() {
    std::vector<int> choice;
    for (QComboBox* c : comChoice) choice.push_back(c->currentIndex());
    const PortMap wanted = ChosenPortMap(ports_, choice, stored_);
    auto store = OpenSettingsStore();
    if (!StorePortMap(*store, wanted)) {
        problem_->setText(QStringLiteral("The ports could not be kept: the settings file %1 "
                                         "cannot be written.")
                              .arg(store->fileName()));
        problem_->show();
        return;
    }
    accept();
}

}  // namespace t720
