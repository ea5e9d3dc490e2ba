#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TAnimatedProgressBar;

// The small stay-on-top window shown while the recovery wizard's check tree is filled
// from a large selection: the name of the element being added, a busy bar, and Cancel,
// which stops the filling once the user confirms (when confirmations are on).
class TFileRecoveryLoadForm : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char* HelpKeyword = "/files/basics.quickstart.html";

    // Least time between two turns of the message loop while the tree is filled, in
    // milliseconds; 0 lets messages run before every element (tests).

    explicit TFileRecoveryLoadForm(QWidget* parent = nullptr);

    QLabel* Step1Label = nullptr;
    TAnimatedProgressBar* Step1ProgressBar = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* ButtonCancel = nullptr;

    // The user has cancelled the loading; the filling reads it before each element.
    bool StopLoad = false;

    void FormCreate();
    void ButtonCancelClick();
    // A request to close: refused as such; when confirmations are off or the user
    // agrees, the loading is told to stop and the window hides.
    void FormClose();

public slots:
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // While visible, the window takes the activation back from any other window but a
    // question box of its own.
    void takeActivationBack();
};
