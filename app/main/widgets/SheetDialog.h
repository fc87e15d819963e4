// A window-modal dialog used as a sheet: Escape and the close box do what its owner says (end
// the sheet through the owner, or nothing) instead of just hiding it.
#pragma once

#include <QDialog>
#include <functional>

class SheetDialog : public QDialog {
public:
    SheetDialog(QWidget* parent, std::function<void()> onReject)
        : QDialog(parent), onReject(std::move(onReject)) {
        setWindowModality(Qt::WindowModal);
    }
    void reject() override { onReject(); }

private:
    std::function<void()> onReject;
};
