#pragma once

#include "SharedForm.h"

#include <array>
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks for the password of the dial-up entry the user chose. The opener shows the window,
// waits for Tag ("0" for "OK", "1" for "Cancel") and reads txtPassword; an empty password is
// an answer like any other. Every way of closing the window leaves an answer, because the
// opener's wait has no time limit.
class frmDUNPassword : public QDialog, public SharedForm<frmDUNPassword>
{
    Q_OBJECT

public:
    QLabel *lblLegend = nullptr;
    QLineEdit *txtPassword = nullptr;
    std::array<QPushButton *, 2> cmdAction{};

    // The answer: empty until a button answers.
    QString Tag;

    void cmdAction_Click(int Index);

    // Escape answers as "Cancel" does.
    void reject() override;

protected:
    // The close box and Alt+F4 answer as "Cancel" does.
    void closeEvent(QCloseEvent *event) override;

private:
    friend class SharedForm<frmDUNPassword>;
    frmDUNPassword();
};
