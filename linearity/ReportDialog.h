// "Report…": who made the report, with which DMM (its asset or serial number, as
// the operator reads it off the meter), a note, and the PDF file to write.
#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <string>

namespace t720::linearity {

class ReportDialog final : public QDialog {
    Q_OBJECT
  public:
    ReportDialog(const std::string& operatorName, const std::string& dmm, const std::string& note,
                 const QString& path, QWidget* parent = nullptr);

    std::string OperatorName() const { return operatorEdit->text().trimmed().toStdString(); }
    std::string Dmm() const { return dmmEdit->text().trimmed().toStdString(); }
    std::string Note() const { return noteEdit->toPlainText().trimmed().toStdString(); }
    QString Path() const { return pathEdit->text().trimmed(); }

    QLineEdit* operatorEdit = nullptr;
    QLineEdit* dmmEdit = nullptr;
    QPlainTextEdit* noteEdit = nullptr;
    QLineEdit* pathEdit = nullptr;
    QPushButton* writeButton = nullptr;
    QPushButton* cancelButton = nullptr;
};

}  // namespace t720::linearity
