// The about window: product name, version and where to ask for support.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace qm {

class TQuillmereProgramInformation : public QDialog {
    Q_OBJECT
public:
    explicit TQuillmereProgramInformation(QWidget* parent = nullptr);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLabel* lblWebAddress = nullptr;
    QPushButton* btnOk = nullptr;
};

} // namespace qm
