#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// The About window: the product name, its version and build, and the maker's notices,
// all taken from the version strings compiled into the program.
class TAboutForm : public QDialog
{
    Q_OBJECT

public:
    explicit TAboutForm(QWidget* parent = nullptr);

    // "Version 1.0.0.1 (build 1)" from the file version and its build part.
    static QString VersionText();

private:
    QLabel* ProductNameLabel;
    QLabel* VersionLabel;
    QLabel* CopyrightLabel;
    QLabel* TrademarkLabel;
    QPushButton* OkButton;
};

// Shows the About window modally and frees it when it closes.
void ShowAboutBox(QWidget* parent);
