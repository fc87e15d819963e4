// A five-star rating control: clicking the n-th star sets the value n and emits clicked.
#pragma once

#include <QWidget>

class RatingControl : public QWidget {
    Q_OBJECT
public:
    explicit RatingControl(QWidget* parent = nullptr);

    int intValue() const { return value; }
    void setIntValue(int stars);
    QSize sizeHint() const override;

signals:
    void clicked(int value);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    int starAt(int x) const;
    int value = 0;
};
