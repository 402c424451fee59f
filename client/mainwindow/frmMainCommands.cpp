#include "frmMain.h"

#include <QAction>
#include <QCheckBox>

void frmMain::chkLock_Click()
{
    mnuSysTray[2]->setChecked(chkLock->isChecked());
}

void frmMain::chkAlert_Click()
{
    mnuSysTray[3]->setChecked(chkAlert->isChecked());
}
