// "Runs…": the history of the records folder, newest first, filtered by the
// connected calibrator's serial number (an empty filter lists all). A record is
// opened in the results window, or taken as the "as found" run of the run shown.
// The records folder can be changed here ("[Runs] Folder=" of the settings file).
#pragma once

#include "linearity/RunHistory.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <string>

namespace t720::linearity {

class RunsDialog final : public QDialog {
    Q_OBJECT
  public:
    enum class Choice { None, Open, AsFound };

    RunsDialog(const QString& folder, const std::string& serialNumber, bool canCompare,
               QWidget* parent = nullptr);

    Choice Chosen() const { return chosen_; }
    QString ChosenPath() const { return chosenPath_; }

    // Lists the folder (again).
    void Reload();

    QLineEdit* folderEdit = nullptr;
    QPushButton* folderSet = nullptr;
    QLabel* folderNote = nullptr;
    QLineEdit* serialEdit = nullptr;
    QTreeWidget* list = nullptr;
    QPushButton* openButton = nullptr;
    QPushButton* asFoundButton = nullptr;
    QPushButton* closeButton = nullptr;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void Fill();
    void ApplyFolder();
    void Choose(Choice choice);
    void UpdateButtons();

    History history_;
    bool canCompare_;
    Choice chosen_ = Choice::None;
    QString chosenPath_;
};

}  // namespace t720::linearity
