#pragma once

class QDialog;
class QPushButton;
class QWidget;

// The layout of the properties windows: their content above a row of "&OK" (accepts,
// the default button) and "&Help" (opens the window's help page), both on the right.
class TOkHelpButtons
{
public:
    // Lays out dialog with content and the two buttons; the buttons are named Button1
    // and Button3, as the windows' tests and help know them.
    TOkHelpButtons(QDialog* dialog, QWidget* content, const char* helpKeyword);

    QPushButton* Ok = nullptr;
    QPushButton* Help = nullptr;
};
