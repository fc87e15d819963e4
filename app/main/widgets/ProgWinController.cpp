#include "main/widgets/ProgWinController.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

#include "main/NotificationCenter.h"

ProgWinController::ProgWinController(QWidget* mainWindow) : QDialog(mainWindow) {
    setWindowTitle(tr("Syncing"));
    setWindowModality(Qt::WindowModal);
    setMinimumWidth(460);
    title = new QLabel(tr("Syncing.."), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    detail = new QLabel(this);
    detail->setTextFormat(Qt::PlainText);
    detail->setWordWrap(true);
    detail->setMinimumHeight(detail->fontMetrics().lineSpacing() * 2);
    progressBar = new QProgressBar(this);
    progressBar->setRange(0, 100);
    progressBar->setValue(0);
    cancelButton = new QPushButton(tr("Cancel"), this);
    connect(cancelButton, &QPushButton::clicked, this, &ProgWinController::cacelSync);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(title);
    layout->addWidget(detail);
    layout->addWidget(progressBar);
    layout->addLayout(buttons);
}

void ProgWinController::showWindow() {
    open();
}

void ProgWinController::updateProgress(const ProgressInfo& info) {
    if (QThread::currentThread() == thread()) {
        updateUI(info);
        return;
    }
    // Queued from one thread, the reports arrive in the order they were made.
    QMetaObject::invokeMethod(this, [this, info] { updateUI(info); }, Qt::QueuedConnection);
}

void ProgWinController::updateUI(const ProgressInfo& info) {
    title->setText(info.title);
    detail->setText(info.detail);
    progressBar->setValue(info.percent);
    emit progressApplied(info);
}

void ProgWinController::cacelSync() {
    NotificationCenter::defaultCenter().post({QStringLiteral("cancel"), nullptr, {}});
}

void ProgWinController::endWindow() {
    done(0);
    hide();
}

QString ProgWinController::titleText() const {
    return title->text();
}

QString ProgWinController::detailText() const {
    return detail->text();
}

int ProgWinController::barValue() const {
    return progressBar->value();
}

void ProgWinController::reject() {
    cacelSync();
}
