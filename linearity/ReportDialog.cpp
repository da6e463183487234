#include "linearity/ReportDialog.h"

#include "app/QtText.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace t720::linearity {

namespace {

QLabel* Buddy(const char* text, QWidget* field) {
    auto* label = new QLabel(QString::fromUtf8(text));
    label->setBuddy(field);
    return label;
}

}  // namespace

ReportDialog::ReportDialog(const std::string& operatorName, const std::string& dmm,
                           const std::string& note, const QString& path, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Report"));
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    outer->addLayout(form);

    operatorEdit = new QLineEdit(Text(operatorName));
    operatorEdit->setAccessibleName(QStringLiteral("Operator"));
    operatorEdit->setMaxLength(100);
    form->addRow(Buddy("&Operator:", operatorEdit), operatorEdit);

    dmmEdit = new QLineEdit(Text(dmm));
    dmmEdit->setAccessibleName(QStringLiteral("DMM"));
    dmmEdit->setMaxLength(100);
    dmmEdit->setPlaceholderText(QStringLiteral("asset or serial number of the meter"));
    form->addRow(Buddy("&DMM:", dmmEdit), dmmEdit);

    noteEdit = new QPlainTextEdit(Text(note));
    noteEdit->setAccessibleName(QStringLiteral("Note"));
    noteEdit->setTabChangesFocus(true);
    noteEdit->setMinimumHeight(90);
    form->addRow(Buddy("No&te:", noteEdit), noteEdit);

    auto* fileRow = new QHBoxLayout;
    pathEdit = new QLineEdit(QDir::toNativeSeparators(path));
    pathEdit->setAccessibleName(QStringLiteral("Report file"));
    auto* browse = new QPushButton(QStringLiteral("&Browse…"));
    browse->setAccessibleName(QStringLiteral("Browse for the report file"));
    browse->setAutoDefault(false);
    fileRow->addWidget(pathEdit, 1);
    fileRow->addWidget(browse);
    form->addRow(Buddy("&File:", pathEdit), fileRow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getSaveFileName(
            this, QStringLiteral("Report file"), pathEdit->text(), QStringLiteral("PDF (*.pdf)"));
        if (!chosen.isEmpty()) pathEdit->setText(QDir::toNativeSeparators(chosen));
    });

    auto* buttons = new QDialogButtonBox;
    writeButton = buttons->addButton(QStringLiteral("&Write report"), QDialogButtonBox::AcceptRole);
    cancelButton = buttons->addButton(QDialogButtonBox::Cancel);
    writeButton->setAccessibleName(QStringLiteral("Write report"));
    cancelButton->setAccessibleName(QStringLiteral("Cancel"));
    writeButton->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    outer->addWidget(buttons);
    resize(560, 320);
    operatorEdit->setFocus();
}

}  // namespace t720::linearity
