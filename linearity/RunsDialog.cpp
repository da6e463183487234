#include "linearity/RunsDialog.h"

#include "app/QtText.h"
#include "linearity/RunsFolder.h"
#include "link/NumberText.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace t720::linearity {

namespace {

enum Column { kWhen, kSerial, kMax, kMin, kReport, kRecord, kColumns };

}  // namespace

RunsDialog::RunsDialog(const QString& folder, const std::string& serialNumber, bool canCompare,
                       QWidget* parent)
    : QDialog(parent), canCompare_(canCompare) {
    setWindowTitle(QStringLiteral("Runs"));
    auto* outer = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    outer->addLayout(form);

    auto* folderRow = new QHBoxLayout;
    folderEdit = new QLineEdit(QDir::toNativeSeparators(folder));
    folderEdit->setAccessibleName(QStringLiteral("Runs folder"));
    folderEdit->installEventFilter(this);
    folderEdit->setToolTip(
        QStringLiteral("The folder of the run records and reports; empty: your own data folder"));
    folderSet = new QPushButton(QStringLiteral("&Set folder"));
    folderSet->setAccessibleName(QStringLiteral("Set folder"));
    folderSet->setAutoDefault(false);
    auto* browse = new QPushButton(QStringLiteral("&Browse…"));
    browse->setAccessibleName(QStringLiteral("Browse for the runs folder"));
    browse->setAutoDefault(false);
    folderRow->addWidget(folderEdit, 1);
    folderRow->addWidget(folderSet);
    folderRow->addWidget(browse);
    auto* folderLabel = new QLabel(QStringLiteral("&Folder:"));
    folderLabel->setBuddy(folderEdit);
    form->addRow(folderLabel, folderRow);
    folderNote = new QLabel;
    folderNote->setAccessibleName(QStringLiteral("Runs folder note"));
    folderNote->setWordWrap(true);
    form->addRow(QString(), folderNote);

    serialEdit = new QLineEdit(Text(serialNumber).trimmed());
    serialEdit->setAccessibleName(QStringLiteral("Serial number filter"));
    serialEdit->setPlaceholderText(QStringLiteral("all calibrators"));
    serialEdit->setClearButtonEnabled(true);
    auto* serialLabel = new QLabel(QStringLiteral("Serial &number:"));
    serialLabel->setBuddy(serialEdit);
    form->addRow(serialLabel, serialEdit);

    list = new QTreeWidget;
    list->setAccessibleName(QStringLiteral("Run records"));
    list->setRootIsDecorated(false);
    list->setAllColumnsShowFocus(true);
    list->setUniformRowHeights(true);
    list->setColumnCount(kColumns);
    list->setHeaderLabels({QStringLiteral("Date and time"), QStringLiteral("Serial number"),
                           QStringLiteral("Max ppm"), QStringLiteral("Min ppm"),
                           QStringLiteral("Report"), QStringLiteral("Record")});
    list->header()->setStretchLastSection(true);
    outer->addWidget(list, 1);

    auto* buttons = new QDialogButtonBox;
    openButton = buttons->addButton(QStringLiteral("&Open"), QDialogButtonBox::AcceptRole);
    asFoundButton = buttons->addButton(QStringLiteral("&As found"), QDialogButtonBox::ActionRole);
    closeButton = buttons->addButton(QStringLiteral("&Close"), QDialogButtonBox::RejectRole);
    openButton->setAccessibleName(QStringLiteral("Open"));
    asFoundButton->setAccessibleName(QStringLiteral("As found"));
    closeButton->setAccessibleName(QStringLiteral("Close"));
    openButton->setToolTip(QStringLiteral("Show this run in the results window"));
    asFoundButton->setToolTip(
        QStringLiteral("Compare the run shown (as left) with this earlier run (as found)"));
    openButton->setDefault(true);
    outer->addWidget(buttons);

    connect(openButton, &QPushButton::clicked, this, [this] { Choose(Choice::Open); });
    connect(asFoundButton, &QPushButton::clicked, this, [this] { Choose(Choice::AsFound); });
    connect(closeButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(list, &QTreeWidget::itemActivated, this, [this] { Choose(Choice::Open); });
    connect(list, &QTreeWidget::currentItemChanged, this, [this] { UpdateButtons(); });
    connect(serialEdit, &QLineEdit::textChanged, this, [this] { Fill(); });
    connect(folderSet, &QPushButton::clicked, this, [this] { ApplyFolder(); });
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString chosen = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Runs folder"), folderEdit->text());
        if (chosen.isEmpty()) return;
        folderEdit->setText(QDir::toNativeSeparators(chosen));
        ApplyFolder();
    });

    resize(900, 480);
    Reload();
    list->setFocus();
}

void RunsDialog::Reload() {
    const QString folder = QDir::fromNativeSeparators(folderEdit->text().trimmed());
    history_ = ListRuns(folder);
    std::string note = history_.error;
    if (note.empty()) {
        const std::string problem = FolderProblem(folder);
        if (!problem.empty()) note = problem + ": runs are saved in your own data folder instead";
    }
    folderNote->setText(Text(note));
    folderNote->setVisible(!note.empty());
    Fill();
}

void RunsDialog::Fill() {
    const std::string serial = serialEdit->text().trimmed().toStdString();
    list->clear();
    QList<QTreeWidgetItem*> items;
    for (const HistoryEntry& e : history_.entries) {
        if (!Listed(e, serial)) continue;
        auto* item = new QTreeWidgetItem;
        item->setText(kWhen, Text(e.localTime));
        item->setText(kSerial, Text(e.serialNumber));
        if (e.deviation) {
            item->setText(kMax, Text(FormatLocal(e.deviation->max, "#0.0")));
            item->setText(kMin, Text(FormatLocal(e.deviation->min, "#0.0")));
        }
        item->setTextAlignment(kMax, Qt::AlignRight | Qt::AlignVCenter);
        item->setTextAlignment(kMin, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(kReport, e.reportMade ? QStringLiteral("yes") : QString());
        QString record = e.fileName;
        if (!e.error.empty()) {
            record += QStringLiteral(": cannot be read: ") + Text(e.error);
            item->setForeground(kRecord, QColor(Qt::red));
        }
        item->setText(kRecord, record);
        item->setToolTip(kRecord, record);
        item->setData(kWhen, Qt::UserRole, e.path);
        item->setData(kRecord, Qt::UserRole, e.error.empty());
        items.append(item);
    }
    list->addTopLevelItems(items);
    for (int c = 0; c < kRecord; ++c) list->resizeColumnToContents(c);
    if (!items.isEmpty()) list->setCurrentItem(items.first());
    UpdateButtons();
}

void RunsDialog::ApplyFolder() {
    const QString folder = QDir::fromNativeSeparators(folderEdit->text().trimmed());
    const bool standard = folder.isEmpty() || folder == RunRecordDirectory();
    const std::string error = SetRunsFolder(standard ? QString() : folder);
    if (standard) folderEdit->setText(QDir::toNativeSeparators(RunRecordDirectory()));
    Reload();
    if (!error.empty()) {
        folderNote->setText(QStringLiteral("The folder is not kept: ") + Text(error));
        folderNote->setVisible(true);
    }
}

bool RunsDialog::eventFilter(QObject* watched, QEvent* event) {
    // Enter in the folder field sets the folder; elsewhere it opens the record.
    if (watched == folderEdit && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ApplyFolder();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void RunsDialog::UpdateButtons() {
    const QTreeWidgetItem* item = list->currentItem();
    const bool readable = item && item->data(kRecord, Qt::UserRole).toBool();
    openButton->setEnabled(readable);
    asFoundButton->setEnabled(readable && canCompare_);
}

void RunsDialog::Choose(Choice choice) {
    const QTreeWidgetItem* item = list->currentItem();
    if (!item || !item->data(kRecord, Qt::UserRole).toBool()) return;
    if (choice == Choice::AsFound && !canCompare_) return;
    chosen_ = choice;
    chosenPath_ = item->data(kWhen, Qt::UserRole).toString();
    accept();
}

}  // namespace t720::linearity
