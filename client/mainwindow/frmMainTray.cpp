#include "frmMain.h"

void frmMain::fUpdateTrayIcon(const QString &ptTip)
{
    m_trayIconState = iState;
    m_trayTip = ptTip;
}
