// Feedback without a platform framework: a marker in the working folder tells whether the last
// run ended abnormally (a clean exit removes it), and feedback goes to the user's mail program
// as a mailto: message with the version and system in its subject.
#pragma once

#include <QString>
#include <functional>

class QDialog;
class QWidget;

class FeedbackReporter {
  public:
    // Made once; notes whether the previous run left its marker, then leaves one for this run.
    static FeedbackReporter& sharedReporter();

    // If the previous run ended abnormally, offers to send a report and returns the offer (it
    // deletes itself when closed); done is called once the offer, and the form it may lead
    // to, has closed. Without a crash: null, and done is not called. Main thread.
    QDialog* reportIfCrash(QWidget* parent, const std::function<void()>& done = nullptr);
    // Opens the feedback form (it deletes itself when closed). Main thread.
    QDialog* reportFeedback(QWidget* parent, const QString& prefill = QString());
    // Removes the marker: call on a clean exit.
    void cleanExit();

    bool previousRunCrashed() const { return crashed; }
    // The mailto: address for a message with that text.
    static QString mailtoFor(const QString& text);

    // For tests: a reporter whose marker lives in that folder.
    explicit FeedbackReporter(const QString& folder);

  private:
    QString marker;
    bool crashed = false;
};
