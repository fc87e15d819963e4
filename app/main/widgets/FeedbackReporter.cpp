#include "main/widgets/FeedbackReporter.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QVBoxLayout>

#include "BuildConfig.h"
#include "update/Environment.h"

FeedbackReporter& FeedbackReporter::sharedReporter() {
    static FeedbackReporter reporter(Environment::sharedEnv().workingDir());
    return reporter;
}

FeedbackReporter::FeedbackReporter(const QString& folder)
    : marker(folder + QStringLiteral("/running.marker")) {
    crashed = QFile::exists(marker);
    QFile file(marker);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray::number(QCoreApplication::applicationPid()));
}

void FeedbackReporter::cleanExit() {
    QFile::remove(marker);
}

QString FeedbackReporter::mailtoFor(const QString& text) {
    QUrl address(QStringLiteral("mailto:") + QStringLiteral(QUILLORY_FEEDBACK_ADDRESS));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("subject"),
                       QStringLiteral("QuilloryMac %1 feedback (%2)")
                           .arg(QStringLiteral(QUILLORY_VERSION), QSysInfo::prettyProductName()));
    query.addQueryItem(QStringLiteral("body"), text);
    address.setQuery(query);
    return address.toString(QUrl::FullyEncoded);
}

QDialog* FeedbackReporter::reportIfCrash(QWidget* parent, const std::function<void()>& done) {
    if (!crashed) return nullptr;
    crashed = false;
    auto* offer =
        new QMessageBox(QMessageBox::Question, QStringLiteral("QuilloryMac"),
                        QStringLiteral("QuilloryMac ended unexpectedly the last time it ran. "
                                       "Would you like to tell us what happened?"),
                        QMessageBox::NoButton, parent);
    QPushButton* send =
        offer->addButton(QStringLiteral("&Send a Report..."), QMessageBox::AcceptRole);
    QPushButton* notNow = offer->addButton(QStringLiteral("&Not Now"), QMessageBox::RejectRole);
    offer->setDefaultButton(send);
    offer->setEscapeButton(notNow);
    offer->setAttribute(Qt::WA_DeleteOnClose);
    offer->setWindowModality(Qt::WindowModal);
    QObject::connect(offer, &QMessageBox::finished, parent, [this, parent, offer, send, done] {
        if (offer->clickedButton() == send) {
            QDialog* form = reportFeedback(
                parent, QStringLiteral("QuilloryMac quit unexpectedly while I was: "));
            if (done) QObject::connect(form, &QDialog::finished, parent, [done] { done(); });
        } else if (done) {
            done();
        }
    });
    offer->open();
    return offer;
}

QDialog* FeedbackReporter::reportFeedback(QWidget* parent, const QString& prefill) {
    auto* form = new QDialog(parent);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->setWindowModality(Qt::WindowModal);
    form->setWindowTitle(QStringLiteral("Send Feedback"));
    auto* text = new QPlainTextEdit(prefill);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel);
    buttons->addButton(QStringLiteral("&Send"), QDialogButtonBox::AcceptRole);
    auto* layout = new QVBoxLayout(form);
    layout->addWidget(new QLabel(QStringLiteral(
        "Tell us what you like, what went wrong or what you miss. Send opens your mail program.")));
    layout->addWidget(text);
    layout->addWidget(buttons);
    QObject::connect(buttons, &QDialogButtonBox::rejected, form, &QDialog::reject);
    QObject::connect(buttons, &QDialogButtonBox::accepted, form, [form, text] {
        QDesktopServices::openUrl(QUrl(mailtoFor(text->toPlainText())));
        form->accept();
    });
    form->resize(460, 280);
    form->open();
    return form;
}
